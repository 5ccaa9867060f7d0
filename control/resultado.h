// The outcome of one check as a plain value: what every front end reads (the command line, the window,
// the benchmarks), instead of the control's tree and panel.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "control/arvore.h"
#include "platform/exporta.h"
#include "rules/frame/inconsistencias.h"

KV_PUBLICO_INICIO

namespace kv {

struct ErroVerificacao {
  int numero = 0;
  std::string descricao;
};

// An item of the tree: one finding.
struct ItemResultado {
  std::string chave, texto;
  int imagem = 0;                               // kImagemAberta or kImagemAceita
  bool podeSerAceita = false;                   // a warning (accepted by a double-click), not an error
  std::string mensagem;                         // its explanation, as the panel shows it when selected
  std::optional<ErroVerificacao> erroMensagem;  // the explanation failed: the panel stays empty
  std::vector<Figura> evidencia;                // the figures its rule compared (with the explanations)
  std::string resumo;                           // the same in one sentence for people
};

// A header of the tree with its items.
struct GrupoResultado {
  std::string chave, texto;
  int imagem = 0;
  std::vector<ItemResultado> itens;
};

struct ResultadoVerificacao {
  // What was checked: the declaration as set, the fiscal year and the database as the settings give them
  // (a front end may name the database as the user knows it instead, such as a Jet file for its copy).
  std::string declaracao, exercicio, banco;
  // kStatusConsistente or kStatusInconsistente; none when the check did not end (see erro).
  std::optional<std::string> status;
  bool consistente = false;
  std::optional<ErroVerificacao> erro;  // why the check failed; the tree is then not the declaration's
  std::string aviso;                    // why a flag recorded consistent was set aside, or ""
  std::vector<std::vector<std::string>> entradas;  // the store's entries, pieces split on " # "
  std::vector<GrupoResultado> arvore;
  std::vector<std::string> gravacoes;  // what the check wrote to the declaration (or would have)
};

// A result's items by where they stand.
struct ContagemDeAchados {
  int erros = 0, avisos = 0, aceitos = 0;  // errors, warnings still open, warnings accepted
};
inline ContagemDeAchados ContaAchados(const ResultadoVerificacao& r) {
  ContagemDeAchados c;
  for (const GrupoResultado& g : r.arvore)
    for (const ItemResultado& item : g.itens)
      ++(item.imagem == kImagemAceita ? c.aceitos : item.podeSerAceita ? c.avisos : c.erros);
  return c;
}

// The kind of a finding: its key without the month or state ("A:Entradas325%" is "A:25%", "C:3VC" is
// "C:VC"); any other key is its own kind ("E:TOVIR 2.2 Dpl", "H:CNPJ").
std::string TipoDoAchado(const std::string& chave);
// What a kind of finding means, with its group ("Entradas: imposto acima de 25% das entradas
// interestaduais"), for a report's reader; "" for a key of no group.
std::string DescricaoDoTipo(const std::string& tipo);

}  // namespace kv

KV_PUBLICO_FIM
