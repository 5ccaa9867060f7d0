// Statement models: their texts, with values spliced for any database and with markers for our own.
#include "platform/db/modelo.h"

#include <atomic>
#include <stdexcept>

#include "platform/db/jetsql.h"

namespace kv {
namespace {
std::atomic<size_t> gModelos{0};  // ids of the models built so far
}  // namespace

ModeloSql::ModeloSql(std::initializer_list<ParteSql> partes) : fixos_(1), id_(gModelos++) {
  for (const ParteSql& p : partes) {
    if (!p.vaga) {
      fixos_.back() += p.texto;
      continue;
    }
    vagas_.push_back(*p.vaga);
    fixos_.emplace_back();
  }
  size_t valores = 0;
  for (Vaga v : vagas_) valores += v == Vaga::Valor;
  if (valores > kMaxVagasJet) throw std::logic_error("modelo de SQL com valores demais");
}

ModeloSql::ModeloSql(std::string_view prefixo, const ModeloSql& resto)
    : fixos_(resto.fixos_), vagas_(resto.vagas_), id_(gModelos++) {
  fixos_[0].insert(0, prefixo);
}

void ModeloSql::Confere(size_t valores) const {
  if (valores != vagas_.size())
    throw std::logic_error("modelo de SQL com " + std::to_string(vagas_.size()) + " valores recebeu " +
                           std::to_string(valores));
}

std::string ModeloSql::Texto(std::initializer_list<std::string_view> valores) const {
  Confere(valores.size());
  std::string t = fixos_[0];
  size_t i = 0;
  for (std::string_view v : valores) {
    t += v;
    t += fixos_[++i];
  }
  return t;
}

std::string ModeloSql::TextoComMarcas(std::initializer_list<std::string_view> valores) const {
  Confere(valores.size());
  std::string t = fixos_[0];
  size_t i = 0, valor = 0;
  for (std::string_view v : valores) {
    if (vagas_[i] == Vaga::Texto)
      t += v;
    else
      t += MarcaDeVagaJet(valor++);
    t += fixos_[++i];
  }
  return t;
}

std::unique_ptr<Recordset> Database::AbreModelo(const ModeloSql& modelo,
                                                std::initializer_list<std::string_view> valores, int tipo) {
  return OpenRecordset(modelo.Texto(valores), tipo);
}

}  // namespace kv
