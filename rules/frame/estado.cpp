#include "rules/frame/estado.h"

namespace kv {
namespace {
thread_local std::unique_ptr<EstadoModulo> tEstado;
}

EstadoModulo& Estado() {
  if (!tEstado) tEstado = std::make_unique<EstadoModulo>();
  return *tEstado;
}

void ReiniciaEstado() {
  tEstado.reset();
}

}  // namespace kv
