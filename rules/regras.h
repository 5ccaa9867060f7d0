// The consistency rules and their message builders. Each rule appends what it finds to the store.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>

#include "platform/db/banco.h"
#include "platform/variant.h"
#include "rules/frame/inconsistencias.h"

namespace kv {

// Which image an item of a group gets in the tree.
enum class ImagemDoItem {
  DaMontagem,    // the build's: open while the declaration is inconsistent, accepted otherwise
  SempreAberta,  // always open (an error to correct)
  DaEntrada,     // the image the entry's fourth piece gives
};

// One group of the tree and the rule that fills it. Adding a rule is a row in TabelaDeRegras and a file.
struct RegraDoGrupo {
  const char* grupo;      // piece 0 of the group's entries
  const char* cabecalho;  // the header node's key and text
  const char* letras;     // the letters its item keys start with, before the colon ("A" for "A:...")
  void (*consiste)();     // the rule: appends the group's entries to the store
  // The explanation of a selected item, from its key.
  std::string (*mensagem)(const std::string& chave);
  bool desde2001;      // the tree builder runs it only for fiscal years from 2001 on
  bool noVerificador;  // the headless checker (ConsisteKV) runs it too
  ImagemDoItem imagem;
  // Adds to an item's evidence the figures that need a query of their own, after the check; or null.
  void (*completa)(const std::string& chave, Evidencia& e) = nullptr;
};

// Every group, in the order the rules run and the groups show (the enrolment rule always last).
std::span<const RegraDoGrupo> TabelaDeRegras();
// The group whose items have keys like `chave`, or null.
const RegraDoGrupo* RegraDaChave(const std::string& chave);

// Registration: fiscal year, taxpayer, regime enrolment.
void ConsisteExercicio();
std::string MensagemExercicio();
void ConsisteContribuinte();
std::string MensagemContribuinte(const std::string& letra);
void ConsisteEnquadramento();
std::string MensagemEnquadramento();

// Monthly entries and exits.
void ConsisteEntradas();
std::string MensagemEntradas(const std::string& chave);
std::string NomeDoMes(uint8_t referencia);
void ConsisteSaidas();
std::string MensagemSaidas(const std::string& chave);

// Interstate entries and exits against their breakdown by state.
void ConsisteEntradasInter();
std::unique_ptr<Recordset> AbreEntradasInter();
Currency SomaDetalheEntradas(const std::string& referencia);
bool DetalheEntradasInconsistente(const std::string& referencia);
std::string MensagemEntradasInter(const std::string& resto);
std::string ListaDetalheEntradas(const std::string& referencia);
void ConsisteSaidasInter();
std::unique_ptr<Recordset> AbreSaidasInter();
Currency SomaDetalheSaidas(const std::string& referencia);
bool DetalheSaidasInconsistente(const std::string& referencia);
std::string MensagemSaidasInter(const std::string& resto);
std::string ListaDetalheSaidas(const std::string& referencia);

// Municipal apportionment (TOVIR).
void ConsisteTovir();
void ConsisteTovirZeros(std::string codigo, bool& grupoPendente);
void ConsisteTovirDuplicidade(std::string codigo, bool& grupoPendente);
void ConsisteTovirEntradas(bool& grupoPendente);
void ConsisteTovirSaidas(bool& grupoPendente);
void ConsisteTovir3X(bool& grupoPendente);
Currency SomaTovir(const std::string& codigo);
// The codes' totals, their statements run in the order given.
Currency SomaTovir(std::initializer_list<const char*> codigos);
bool TovirTemZeros(const std::string& codigo);
bool TovirTemDuplicidade(const std::string& codigo);
Currency ValorOuZero(const Variant& v);
// Appends the group entry "TOVIR # TOVIR " while the run's shared flag says it is still to come.
void AdicionaGrupoTovir(bool& grupoPendente);
std::string MensagemTovir(std::string& codigo);
std::string MensagemTovir3X();
// Completes a TOVIR item's evidence after the check (the municipalities of a code with zeros).
void CompletaTovir(const std::string& chave, Evidencia& e);

}  // namespace kv
