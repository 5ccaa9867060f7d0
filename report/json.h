// An ordered JSON writer: objects keep their keys in the order they are written (the command line's
// documents are read by people too, and tests compare them whole), and the text is built as it goes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "control/resultado.h"

namespace kv {

// The text as a JSON string literal: UTF-8 kept as it is, invalid bytes replaced by U+FFFD, control and
// bidirectional characters escaped.
std::string JsonTexto(std::string_view s);

// Writes one value: `{"a": 1, "b": [true, null]}` is
//   EscritorJson j; j.Objeto().Chave("a").Numero(1).Chave("b").Lista().Logico(true).Nulo().Fim().Fim();
// Items are separated by ", " and keys by ": ", as the documents have always been written.
class EscritorJson {
 public:
  EscritorJson& Objeto();
  EscritorJson& Lista();
  EscritorJson& Fim();  // closes the innermost object or list
  EscritorJson& Chave(std::string_view chave);
  EscritorJson& Texto(std::string_view s);
  EscritorJson& Numero(long long n);
  EscritorJson& Logico(bool b);
  EscritorJson& Nulo();
  // A value written elsewhere, already JSON.
  EscritorJson& Cru(std::string_view json);
  // Each text of `textos` as an item of a list.
  EscritorJson& Textos(const std::vector<std::string>& textos);
  const std::string& texto() const { return texto_; }

 private:
  void Item();  // the separator before a value, unless it follows its key or opens its container
  struct Aberto {
    char fecho;     // '}' or ']'
    bool primeiro;  // no item written in it yet
  };
  std::string texto_;
  std::vector<Aberto> abertos_;
  bool depoisDaChave_ = false;
};

struct OpcoesDoJson {
  bool arvore = true;                  // the tree with each item's explanation
  bool evidencias = false;             // each item's figures at the end ("evidencias"), for a batch
  const std::string* banco = nullptr;  // the file first ("banco"), in a portfolio
};

// A check's outcome: declaracao, exercicio, status, consistente, entradas, then arvore, aviso and erro
// where there are.
void EscreveVerificacao(EscritorJson& j, const ResultadoVerificacao& v, const OpcoesDoJson& opcoes = {});
std::string JsonVerificacao(const ResultadoVerificacao& v, const OpcoesDoJson& opcoes = {});
// The store's entries, each as the pieces of its split.
void EscreveEntradas(EscritorJson& j, const std::vector<std::vector<std::string>>& entradas);
// {"numero": N, "descricao": "..."}
void EscreveErro(EscritorJson& j, const ErroVerificacao& e);

}  // namespace kv
