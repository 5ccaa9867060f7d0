// The inconsistency store: every rule appends its findings here; the tree and the checker read them.
// One store per thread (see rules/frame/estado.h): a thread that checks reads and writes only its own.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/exporta.h"

KV_PUBLICO_INICIO

namespace kv {

// An entry: the pieces of its text split on " # " (group entry: 2 pieces; item entry: 4).
using ItemInconsistencia = std::vector<std::string>;

// One figure a rule compared, named as a person reads it. The value is plain text: an amount as a decimal
// with a point and no grouping ("1234.56"), a share as a decimal ("0.6300"), a text as stored.
struct Figura {
  std::string rotulo, valor;
  bool operator==(const Figura&) const = default;
};

// What an item's rule compared: its figures and one sentence for people, amounts in the user's format.
struct Evidencia {
  std::vector<Figura> figuras;
  std::string resumo;
};

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
  // What every caller does to empty it: read the count n, remove position 1 n times. The evidence goes too.
  void Esvazia();
  // The evidence of the item whose entry key (piece 1) is `chave`: the first recorded for it stands.
  void DefineEvidencia(const std::string& chave, Evidencia e) { evidencias_.emplace(chave, std::move(e)); }
  const Evidencia* EvidenciaDe(const std::string& chave) const {
    auto it = evidencias_.find(chave);
    return it == evidencias_.end() ? nullptr : &it->second;
  }

 private:
  std::map<std::string, Evidencia> evidencias_;
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
