#include "rules/frame/inconsistencias.h"

#include <QLocale>

#include "platform/erro.h"
#include "platform/formato.h"
#include "rules/frame/estado.h"

namespace kv {

const ItemInconsistencia& ColecaoInconsistencias::Item(long posicao) const {
  if (posicao < 1 || posicao > Count()) ErroSubscrito();
  return itens_[static_cast<size_t>(posicao - 1)].second;
}

const std::string& ColecaoInconsistencias::Chave(long posicao) const {
  if (posicao < 1 || posicao > Count()) ErroSubscrito();
  return itens_[static_cast<size_t>(posicao - 1)].first;
}

void ColecaoInconsistencias::Remove(long posicao) {
  if (posicao < 1 || posicao > Count()) ErroSubscrito();
  auto it = itens_.begin() + (posicao - 1);
  chaves_.erase(it->first);
  itens_.erase(it);
}

void ColecaoInconsistencias::Add(const ItemInconsistencia& item, const std::string& chave) {
  if (!chaves_.insert(chave).second)
    throw Erro(kErroChaveColecao, "Esta chave já está associada a um elemento desta coleção: " + chave);
  itens_.emplace_back(chave, item);
}

void ColecaoInconsistencias::Esvazia() {
  achados_.clear();
  long n = Count();
  for (long i = 0; i < n; ++i) Remove(1);
}

std::string ParaPessoas(const Figura& f) {
  double d = 0;
  if (f.tipo == Figura::Tipo::Texto || !ParseNumero(f.valor, d)) return f.valor;
  if (f.tipo == Figura::Tipo::Parcela) return QLocale::system().toString(d * 100, 'f', 1).toStdString() + "%";
  try {
    return "R$ " + FormataValor(CCur(Variant::Str(f.valor)));
  } catch (const Erro&) {
    return f.valor;  // beyond Currency: as stored
  }
}

ColecaoInconsistencias& ObtemInconsistencias() {
  return Estado().colecao;
}

void AdicionaInconsistencia(const ItemInconsistencia& item) {
  EstadoModulo& e = Estado();
  e.colecao.Add(item, std::to_string(e.contadorInconsistencias));
  ++e.contadorInconsistencias;
}

}  // namespace kv
