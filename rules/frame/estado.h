// Module state: one per thread, shared by the control, the checker and every rule on that thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/db/banco.h"
#include "platform/externos.h"
#include "platform/variant.h"
#include "rules/frame/inconsistencias.h"

namespace kv {

struct EstadoModulo {
  Variant declaracao;  // current declaration number (the control's Declaração)
  // The declaration's number as the statements write it, and the value it was written from: every
  // statement of a check writes the same number.
  Variant numeradaDe;
  std::string numero;
  std::string caminhoBanco;         // last value read from ("KV", "DB", "DbAtual")
  std::shared_ptr<Database> banco;  // the object the last opening returned; may be null
  std::shared_ptr<ConexaoBanco> conexao;
  std::shared_ptr<FiltroReferencia> filtro;
  ColecaoInconsistencias colecao;
  int64_t contadorInconsistencias = 0;
  Variant ie, exercicio, deducoes, cnae;  // held for the host only
  // What the current check wrote to the declaration, or would have written to a read-only database.
  std::vector<std::string> gravacoes;
};

// This thread's module state, created on first use.
EstadoModulo& Estado();
// Drops this thread's state (worker threads call it before they end; tests between cases).
void ReiniciaEstado();

}  // namespace kv
