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

// The check the rules take: internal, so not exported.
namespace kv {
class Verificacao;
}

KV_PUBLICO_INICIO

namespace kv {

// An entry: the pieces of its text split on " # " (group entry: 2 pieces; item entry: 4).
using ItemInconsistencia = std::vector<std::string>;

// One figure a rule compared, named as a person reads it. The value is plain text: an amount as a decimal
// with a point and no grouping ("1234.56"), a share as a decimal ("0.6300"), a text as stored; `tipo`
// says which, so that people see amounts and shares in their own format (ParaPessoas).
struct Figura {
  enum class Tipo : unsigned char { Texto, Valor, Parcela };
  std::string rotulo, valor;
  Tipo tipo = Tipo::Texto;
  bool operator==(const Figura&) const = default;
};
// The figure's value as people read it: an amount "R$ 1.234,56" and a share "46,9%" in the user's
// regional format; a text, or a value that is no amount, as it is.
std::string ParaPessoas(const Figura& f);

// One finding of a rule, as every reader takes it: the store's entries are rendered from it, the tree
// shows it, the front ends explain it.
struct Achado {
  std::string grupo{};   // the tree group, piece 0 of its entries: "Entradas"
  std::string chave{};   // the node key: "A:Entradas3Imp"
  std::string texto{};   // the node text: "Março"
  std::string imagem{};  // the entry's image piece: "3" (the standard index) or "2"
  // From the rule table, when the finding is recorded: a warning the user may accept (or an error to
  // correct in the declaration), and its kind, the key without its month or state ("A:Imp").
  bool aceitavel = false;
  std::string tipo{};
  // What the rule compared, named as a person reads it, and the same in one sentence (amounts in the
  // user's format).
  std::vector<Figura> figuras{};
  std::string resumo{};
  // Adds, after the check and for this finding alone, the figures that take a query of their own.
  void (*completa)(Verificacao& v, Achado& a) = nullptr;
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
  // What every caller does to empty it: read the count n, remove position 1 n times. The findings go too.
  void Esvazia();
  // The finding whose entry key (piece 1) is `chave`: the first recorded for it stands (a repeated key
  // adds a second entry but no second finding, as it adds no second node).
  void DefineAchado(Achado a) {
    const std::string chave = a.chave;
    achados_.emplace(chave, std::move(a));
  }
  const Achado* AchadoDe(const std::string& chave) const {
    auto it = achados_.find(chave);
    return it == achados_.end() ? nullptr : &it->second;
  }

 private:
  std::map<std::string, Achado> achados_;
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
