// Rewrites the system's Jet SQL texts into SQLite's dialect before they are prepared.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kv {

struct SqlAdaptado {
  std::string texto;                  // SQLite text, integer literals lifted into '?' parameters
  std::vector<long long> parametros;  // values of the lifted literals, one per '?' in order
  // With model slots: per parameter, the value slot it takes (parametros[i] then unused), or -1.
  std::vector<int> vagas;
  std::string tabelaUnica;  // the one table of a plain single-table SELECT, else empty
};

// How many value slots a model may have.
inline constexpr size_t kMaxVagasJet = 32;

// DISTINCTROW dropped; LIKE patterns get % and _ (a pattern without wildcard or letter becomes =);
// HAVING terms without an aggregate move to WHERE; GROUP BY columns not fixed by WHERE get a unary plus;
// integer literals become parameters so that one prepared statement serves every declaration and month.
// Quoted literals are never touched. With `dynaset`, a plain single-table SELECT also returns the row's
// rowid as kv_rowid__. With `vagas`, each MarcaDeVagaJet(k) in the text becomes a parameter for the
// model's k-th value slot (without, the marker byte is an ordinary symbol).
SqlAdaptado AdaptaJet(std::string_view jet, bool dynaset = false, bool vagas = false);
// The marker of a model's k-th value slot (k < kMaxVagasJet): a control byte that no statement holds.
std::string MarcaDeVagaJet(size_t k);

}  // namespace kv
