#include "platform/componentes.h"

#include <atomic>
#include <map>
#include <mutex>
#include <shared_mutex>

namespace kv {
namespace {
std::shared_mutex gMutex;
std::map<std::string, Fabrica>& Classes() {
  static std::map<std::string, Fabrica> classes;
  return classes;
}
thread_local std::map<std::string, Fabrica> tDaThread;
}  // namespace

void DefineClasseDaThread(const std::string& clsid, Fabrica fabrica) {
  if (fabrica)
    tDaThread[clsid] = std::move(fabrica);
  else
    tDaThread.erase(clsid);
}

void RegistraClasse(const std::string& clsid, Fabrica fabrica) {
  std::unique_lock g(gMutex);
  Classes()[clsid] = std::move(fabrica);
}

void RemoveClasse(const std::string& clsid) {
  std::unique_lock g(gMutex);
  Classes().erase(clsid);
}

bool ClasseRegistrada(const std::string& clsid) {
  std::shared_lock g(gMutex);
  return Classes().count(clsid) != 0;
}

std::shared_ptr<Componente> CriaObjeto(const std::string& clsid) {
  Fabrica f;
  if (auto daThread = tDaThread.find(clsid); daThread != tDaThread.end()) {
    f = daThread->second;
  } else {
    std::shared_lock g(gMutex);
    auto it = Classes().find(clsid);
    if (it == Classes().end())
      throw Erro(429, "O componente ActiveX não pode criar o objeto " + clsid + " (classe não registrada)");
    f = it->second;
  }
  auto obj = f();
  if (!obj) throw Erro(429, "O componente ActiveX não pode criar o objeto " + clsid);
  return obj;
}

}  // namespace kv

namespace kv {
namespace {
std::atomic<long> gVivos{0};
}
ObjetoVivo::ObjetoVivo() {
  ++gVivos;
}
ObjetoVivo::ObjetoVivo(const ObjetoVivo&) {
  ++gVivos;
}
ObjetoVivo::~ObjetoVivo() {
  --gVivos;
}
long ObjetoVivo::Quantos() {
  return gVivos.load();
}
}  // namespace kv
