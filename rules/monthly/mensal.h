// The month-by-month test that the entries and exits rules share: the tax against a base amount.
#pragma once

#include <string>

#include "platform/db/banco.h"
#include "platform/variant.h"
#include "rules/frame/verificacao.h"

namespace kv {

struct RegraMensal {
  const char* tabela;        // "tblEntradas"
  const char* grupo;         // "Entradas"
  const char* prefixoChave;  // "A:Entradas"
  const char* campoImposto;  // "ImpAquisição"
  Variant (*base)(Recordset& rs);
  const char* nomeBase;  // the base as its figure is named: "entradas interestaduais"
};

// For each record: "Imp" when base > 0 and the tax = 0; otherwise "25%" when the tax (as Currency)
// exceeds base × 0.25. A Null tax fails the run with Invalid use of Null at that record.
void ConsisteMensal(Verificacao& v, const RegraMensal& regra);

inline const std::string kConviteDuploClique =
    "Caso esta situação esteja correta, dê duplo clique sobre a Referência correspondente para prosseguir.";

}  // namespace kv
