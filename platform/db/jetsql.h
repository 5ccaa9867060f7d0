// Rewrites the system's Jet SQL texts into SQLite's dialect before they are prepared.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kv {

struct SqlAdaptado {
  std::string texto;                  // SQLite text, integer literals lifted into '?' parameters
  std::vector<long long> parametros;  // values of the lifted literals, in order
  std::string tabelaUnica;            // the one table of a plain single-table SELECT, else empty
};

// DISTINCTROW dropped; LIKE patterns get % and _ (a pattern without wildcard or letter becomes =);
// HAVING terms without an aggregate move to WHERE; integer literals become parameters so that one
// prepared statement serves every declaration and month. Quoted literals are never touched.
// With `dynaset`, a plain single-table SELECT also returns the row's rowid as kv_rowid__.
SqlAdaptado AdaptaJet(std::string_view jet, bool dynaset = false);

// Cheap pre-pass: `jet` with its standalone integer literals replaced by placeholders (the shape that
// caches key on) and the literals' values in text order. False when a literal does not fit. With
// `literais`, also where each literal lies in `jet` (from, to).
bool FormaJet(std::string_view jet, std::string& forma, std::vector<long long>& numeros,
              std::vector<std::pair<size_t, size_t>>* literais = nullptr);
// Placeholder value of the k-th literal of a shape; AdaptaJet lifts it like any literal.
long long MarcadorJet(size_t k);

}  // namespace kv
