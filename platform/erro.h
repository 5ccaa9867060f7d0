// Numbered errors, the one exception type that crosses every public call.
#pragma once

#include <stdexcept>
#include <string>

#include "platform/exporta.h"

KV_PUBLICO_INICIO

namespace kv {

// Error numbers the system uses; database errors are 3000 + SQLite's primary result code.
enum ErroNumero : int {
  kErroSubscrito = 9,
  kErroEstouro = 6,
  kErroTipos = 13,
  kErroDll = 48,
  kErroArquivoNaoEncontrado = 53,
  kErroRegistro = 63,
  kErroObjeto = 91,
  kErroNulo = 94,
  kErroChaveColecao = 457,
  kErroPontoEntrada = 453,
  kErroBancoBase = 3000,
  kErroUpdateSemEdit = 3020,       // Update without Edit
  kErroSemRegistroAtual = 3021,    // no current record (end of the recordset, or no such row)
  kErroBancoNaoEncontrado = 3024,  // a database file that cannot be found or opened
  kErroNaoAtualizavel = 3027,      // the recordset cannot be updated (not a single table's rows)
  kErroSqlVazio = 3129,            // an SQL text with no statement in it
  kErroObjetoInvalido = 3420,      // a recordset used after it was closed
  kErroItemNaoEncontrado = 3265,
  kErroCertificacao = 1001,
  kErroArquivo = 75,
};

class Erro : public std::runtime_error {
 public:
  Erro(int numero, std::string descricao)
      : std::runtime_error(descricao), numero_(numero), descricao_(std::move(descricao)) {}
  int numero() const { return numero_; }
  const std::string& descricao() const { return descricao_; }

 private:
  int numero_;
  std::string descricao_;
};

// A request that cannot be done as made (a path that names no database, a missing option): the user's to
// correct, as opposed to a failure of the check. Front ends say it as a usage error.
struct ErroDeUso : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The standard errors with their Portuguese descriptions.
[[noreturn]] void ErroEstouro();
[[noreturn]] void ErroTipos();
[[noreturn]] void ErroNulo();
[[noreturn]] void ErroObjeto();
[[noreturn]] void ErroSubscrito();

}  // namespace kv

KV_PUBLICO_FIM
