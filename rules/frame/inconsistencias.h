// The inconsistency store: every rule appends its findings here; the tree and the checker read them.
// One store per thread (see rules/frame/estado.h): a thread that checks reads and writes only its own.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/exporta.h"

KV_PUBLICO_INICIO

namespace kv {

// An entry: the pieces of its text split on " # " (group entry: 2 pieces; item entry: 4).
using ItemInconsistencia = std::vector<std::string>;

// Ordered, keyed collection; positions count from 1, as the host's collections did.
class ColecaoInconsistencias {
 public:
  long Count() const { return static_cast<long>(itens_.size()); }
  // Position out of range raises error 9.
  const ItemInconsistencia& Item(long posicao) const;
  const std::string& Chave(long posicao) const;
  void Remove(long posicao);
  // A key already in the collection raises error 457.
  void Add(const ItemInconsistencia& item, const std::string& chave);
  // What every caller does to empty it: read the count n, remove position 1 n times.
  void Esvazia();

 private:
  std::deque<std::pair<std::string, ItemInconsistencia>> itens_;
  std::unordered_set<std::string> chaves_;
};

// Appends a copy under the decimal text of this thread's counter, then counts on. The counter is 64
// bits wide and never reset, so keys stay unique for the life of the thread.
void AdicionaInconsistencia(const ItemInconsistencia& item);
// This thread's store, created empty on first use.
ColecaoInconsistencias& ObtemInconsistencias();

}  // namespace kv

KV_PUBLICO_FIM
