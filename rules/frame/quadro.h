// The frame every rule shares: the declaration number in SQL, opening the database through
// ConexaoBanco, the settings the rules read, and appending entries.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/configuracao.h"
#include "platform/db/banco.h"
#include "platform/db/modelo.h"
#include "rules/frame/estado.h"

namespace kv {

// The current declaration number as SQL text. It must be a whole number: anything else (letters, a
// fraction, nothing) raises error 13 naming the value, before any query can run.
std::string NumeroDeclaracao();
// A reference or other number read from the database, checked before it goes into SQL text.
std::string NumeroParaSql(const Variant& valor, const char* oque);

// Reads the path setting, creates the shared ConexaoBanco if needed, opens the database and makes it the
// module's open database. Returns it, or null (the ordinary "cannot open" answer).
std::shared_ptr<Database> AbreBancoRegra();
// The object or error 91 (the rules that do not test for a missing database).
Database& Exige(const std::shared_ptr<Database>& banco);
// Error 91, saying which database path could not be opened and why.
[[noreturn]] void ErroBancoAusente();

// ("KV", "Exercicio", "ExercicioAtual") as a 16-bit integer; empty or not a number fails.
int16_t ExercicioAtual();

// Splits an entry text on " # " and appends it to the store.
void AdicionaTexto(const std::string& texto);
// Records what the item just appended with entry key `chave` compared (ColecaoInconsistencias).
void AdicionaEvidencia(const std::string& chave, std::vector<Figura> figuras, std::string resumo);
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
// A stored value as evidence shows it: its text, "(vazio)" for empty text, "(Nulo)" for Null.
std::string ComoGravado(const Variant& v);

// The standard image index of item entries.
int16_t ImagemPadrao();
std::string ImagemPadraoTexto();

}  // namespace kv
