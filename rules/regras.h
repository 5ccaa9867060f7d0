// The consistency rules and their message builders. Each rule takes the check and records its findings.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/db/banco.h"
#include "platform/variant.h"
#include "rules/frame/verificacao.h"

namespace kv {

// Which image an item of a group gets in the tree.
enum class ImagemDoItem {
  DaMontagem,    // the build's: open while the declaration is inconsistent, accepted otherwise
  SempreAberta,  // always open (an error to correct)
  DaEntrada,     // the image the entry's fourth piece gives
};

// What the findings of a key letter are. With a code, the keys of the letter that end in it (the month
// or state sits between the letter and the code, and the kind is the letter with the code: "A:25%",
// unless the row says the whole key is the kind); without one (""), every key of the letter (its kind is
// the whole key). A key that no row names is a
// warning, as the double-click treats any letter it does not know.
struct TipoDeAchado {
  char letra;
  const char* codigo;
  bool aceitavel;             // a warning the user may accept, or an error to correct in the declaration
  const char* descricao;      // what it means, for a report's reader
  bool chaveInteira = false;  // the kind is the whole key all the same (each TOVIR code is its own kind)
};

// One group of the tree and the rule that fills it. Adding a rule is a row in TabelaDeRegras and a file.
struct RegraDoGrupo {
  const char* grupo;      // piece 0 of the group's entries
  const char* cabecalho;  // the header node's key and text
  const char* letras;     // the letters its item keys start with, before the colon ("A" for "A:...")
  void (*consiste)(Verificacao& v);  // the rule: records the group's findings
  // The explanation of a selected item, from its key.
  std::string (*mensagem)(Verificacao& v, const std::string& chave);
  bool desde2001;      // the tree builder runs it only for fiscal years from 2001 on
  bool noVerificador;  // the headless checker (ConsisteKV) runs it too
  ImagemDoItem imagem;
  std::span<const TipoDeAchado> tipos;  // what its findings are
};

// Every group, in the order the rules run and the groups show (the enrolment rule always last).
std::span<const RegraDoGrupo> TabelaDeRegras();
// The group whose items have keys like `chave`, or null.
const RegraDoGrupo* RegraDaChave(const std::string& chave);

// Registration: fiscal year, taxpayer, regime enrolment.
void ConsisteExercicio(Verificacao& v);
std::string MensagemExercicio();
void ConsisteContribuinte(Verificacao& v);
std::string MensagemContribuinte(const std::string& letra);
void ConsisteEnquadramento(Verificacao& v);
std::string MensagemEnquadramento();

// Monthly entries and exits.
void ConsisteEntradas(Verificacao& v);
std::string MensagemEntradas(const std::string& chave);
std::string NomeDoMes(uint8_t referencia);
void ConsisteSaidas(Verificacao& v);
std::string MensagemSaidas(const std::string& chave);

// Interstate entries and exits against their breakdown by state.
void ConsisteEntradasInter(Verificacao& v);
std::unique_ptr<Recordset> AbreEntradasInter(Verificacao& v);
Currency SomaDetalheEntradas(Verificacao& v, const std::string& referencia);
bool DetalheEntradasInconsistente(Verificacao& v, const std::string& referencia);
std::string MensagemEntradasInter(Verificacao& v, const std::string& resto);
std::string ListaDetalheEntradas(Verificacao& v, const std::string& referencia);
void ConsisteSaidasInter(Verificacao& v);
std::unique_ptr<Recordset> AbreSaidasInter(Verificacao& v);
Currency SomaDetalheSaidas(Verificacao& v, const std::string& referencia);
bool DetalheSaidasInconsistente(Verificacao& v, const std::string& referencia);
std::string MensagemSaidasInter(Verificacao& v, const std::string& resto);
std::string ListaDetalheSaidas(Verificacao& v, const std::string& referencia);

// Municipal apportionment (TOVIR).
void ConsisteTovir(Verificacao& v);
Currency SomaTovir(Verificacao& v, const std::string& codigo);
// The codes' totals, their statements run in the order given.
Currency SomaTovir(Verificacao& v, std::initializer_list<const char*> codigos);
bool TovirTemZeros(Verificacao& v, const std::string& codigo);
// The municipalities that the code repeats, in the order the query gives them (none: no repetition).
std::vector<std::string> TovirDuplicidades(Verificacao& v, const std::string& codigo);
Currency ValorOuZero(const Variant& v);
std::string MensagemTovir(Verificacao& v, std::string& codigo);
void ConsisteTovir3X(Verificacao& v);
std::string MensagemTovir3X(Verificacao& v);

}  // namespace kv
