// What every rule shares besides its check: numbers made safe for SQL text, the figures of a finding as
// people and programs read them, and the standard image index of item entries.
#pragma once

#include <cstdint>
#include <string>

#include "platform/db/modelo.h"
#include "platform/variant.h"
#include "rules/frame/verificacao.h"

namespace kv {

// The declaration number as SQL text. It must be a whole number: anything else (letters, a fraction,
// nothing) raises error 13 naming the value.
std::string NumeroDaDeclaracao(const Variant& v);
// A reference or other number read from the database, checked before it goes into SQL text.
std::string NumeroParaSql(const Variant& valor, const char* oque);

// An amount as evidence values are written ("1234.56"), and as people read it ("R$ 1.234,56"). A value
// that is no Currency (too large for it, Null, text) is shown as stored: the figures of a finding never
// change a check's outcome.
std::string Decimal(const Variant& v);
std::string Reais(const Variant& v);
inline std::string Decimal(Currency c) {
  return Decimal(Variant::Cur(c));
}
inline std::string Reais(Currency c) {
  return Reais(Variant::Cur(c));
}
// a − b, exact in Currency where both fit, else as Doubles (Null when either is not a number).
Variant Diferenca(const Variant& a, const Variant& b);
// A share as evidence values are written: four decimals ("0.6300"); "" when the whole is zero or either
// is not a number.
std::string Parcela(const Variant& parte, const Variant& todo);
// The kinds of a figure, short.
inline constexpr Figura::Tipo kValor = Figura::Tipo::Valor, kParcela = Figura::Tipo::Parcela;
// A stored value as evidence shows it: its text, "(vazio)" for empty text, "(Nulo)" for Null.
std::string ComoGravado(const Variant& v);

// The standard image index of item entries.
int16_t ImagemPadrao();
std::string ImagemPadraoTexto();

}  // namespace kv
