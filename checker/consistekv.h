// ConsisteKV: the check without a window, and the consistency key of a clean declaration.
#pragma once

#include <memory>
#include <string>

#include "key/chave.h"
#include "platform/componentes.h"
#include "platform/exporta.h"
#include "platform/interface_usuario.h"
#include "platform/variant.h"

KV_PUBLICO_INICIO

namespace kv {

inline const std::string kClsidConsisteKV = "{A0CAE928-7DDA-480F-BDF4-505419B321B0}";

class ConsisteKV : public Componente {
 public:
  // Records the fiscal year in the settings, runs the taxpayer, interstate, TOVIR and enrolment rules
  // and, when none found anything, makes and records the key. Always returns Empty.
  Variant VerificaConsistencia(Variant& pvtIE, Variant& pvtExercicio, Variant& pvtDeclaracao);
  // Makes the key of the current declaration and records it with the consistent flag. A certification
  // failure shows its box and then raises the error: nothing is recorded.
  void GeraConsistencia();
  // The box this object shows; the module's default otherwise.
  void DefineCaixa(std::shared_ptr<CaixaMensagem> caixa) { caixa_ = std::move(caixa); }

 private:
  std::shared_ptr<CaixaMensagem> caixa_;
  ObjetoVivo vivo_;
};

}  // namespace kv

KV_PUBLICO_FIM
