// A check's outcome as text for people: the tree with each item's explanation, and a batch's line.
#pragma once

#include <functional>
#include <string>

#include "control/resultado.h"

namespace kv {

struct OpcoesDoTexto {
  bool comStatus = true;  // the status line under the heading
  // Lines after the tree (what to do next, say), or none.
  std::function<std::string(const ResultadoVerificacao&)> aoFim;
};

// Heading, status, the tree with each item's explanation and figures, what the check wrote and, after
// a failure, the entries recorded before it. Text from the data is kept on its line.
std::string TextoVerificacao(const ResultadoVerificacao& v, const OpcoesDoTexto& opcoes = {});
// One declaration in a batch: "Declaração 12: inconsistente (Entradas 2)".
std::string LinhaDaVerificacao(const ResultadoVerificacao& v);

}  // namespace kv
