#include "ui/principal/preferencias.h"

#include <vector>

namespace kv {

Preferencias::Preferencias() : s_(QSettings::IniFormat, QSettings::UserScope, "kvconsistencia", "janela") {}

std::vector<std::string> Preferencias::Recentes() const {
  std::vector<std::string> r;
  for (const QVariant& v : s_.value("arquivos/recentes").toList()) {
    const QByteArray b = v.toByteArray();
    if (!b.isEmpty()) r.push_back(b.toStdString());
  }
  return r;
}

void Preferencias::GravaRecentes(const std::vector<std::string>& r) {
  QVariantList lista;
  for (const std::string& c : r) lista.push_back(QByteArray::fromStdString(c));
  s_.setValue("arquivos/recentes", lista);
}

void Preferencias::AcrescentaRecente(const std::string& caminho) {
  std::vector<std::string> r = Recentes();
  std::erase(r, caminho);
  r.insert(r.begin(), caminho);
  if (r.size() > kMaxRecentes) r.resize(kMaxRecentes);
  GravaRecentes(r);
}

void Preferencias::RetiraRecente(const std::string& caminho) {
  std::vector<std::string> r = Recentes();
  std::erase(r, caminho);
  GravaRecentes(r);
}

void Preferencias::LimpaRecentes() {
  GravaRecentes({});
}

}  // namespace kv
