// What the interstate entries and exits rules share: the month loop with FiltroReferencia, the row
// tests of the breakdown by state, and the per-state listing.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/db/banco.h"
#include "platform/db/modelo.h"
#include "platform/variant.h"
#include "rules/frame/verificacao.h"

namespace kv {

// One state row as the row tests see it.
struct LinhaInter {
  Variant valorContabil;           // the row's accounting value
  Variant soma;                    // what it must equal
  Variant imposto;                 // the tax
  std::optional<Currency> limite;  // 25% of the base; empty only in a listing whose base is empty
};

// A state row of a month that failed a row test, with what the tests read.
struct EstadoQueFalha {
  std::string uf;
  bool soma, limite;  // which test it failed
  LinhaInter linha;
};

// The row tests of one month: whether any state row fails, and which.
struct DetalheDoMes {
  bool falha = false;
  std::vector<EstadoQueFalha> estados;
};

struct RegraInter {
  const char* grupo;    // "Entradas Interestaduais"
  const char* prefixo;  // "C:"
  int tipo;             // 0 entries, 1 exits
  std::unique_ptr<Recordset> (*abreMeses)(Verificacao& v);
  Currency (*somaDetalhe)(Verificacao& v, const std::string& referencia);
  Variant (*registrado)(Recordset& mes);
  // In a listing an empty base leaves the limit unset; in the check it fails the conversion.
  LinhaInter (*linha)(Recordset& rs, bool paraLista);
  std::string (*textoSoma)(const LinhaInter& linha);
  const char* textoLimite;
  const char* textoVC;
};

void ConsisteInter(Verificacao& v, const RegraInter& regra);
DetalheDoMes DetalheInconsistente(Verificacao& v, const RegraInter& regra, const std::string& referencia);
std::string ListaDetalhe(Verificacao& v, const RegraInter& regra, const std::string& referencia);
// The builder of both groups: "VC" text, or the listing of the month in the key.
std::string MensagemInter(Verificacao& v, const RegraInter& regra, const std::string& resto);
// Opens the months of the declaration with `meses` (its one value: the declaration), or returns null
// when there is no database.
std::unique_ptr<Recordset> AbreMeses(Verificacao& v, const ModeloSql& meses);
// The tail of a detailed-total query; its values: the declaration, the month and the detail type.
const ModeloSql& HavingDetalhe();
// Runs a detailed-total query (a select list followed by HavingDetalhe) for the month and detail type,
// and returns `total` of its one row, or 0 for a month without state rows (or without a database).
Currency TotalDetalhado(Verificacao& v, const ModeloSql& soma, const std::string& referencia, int tipo,
                        Variant (*total)(Recordset& rs));
// Currency of a 25% limit: base × 0.25 as a Double, converted (Null fails with Invalid use of Null).
Currency Limite(const Variant& base);

}  // namespace kv
