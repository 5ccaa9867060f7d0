#include "control/entrada.h"

#include "checker/consistekv.h"
#include "control/controle.h"

namespace {
kv::Fabrica FabricaDe(const std::string& clsid) {
  if (clsid == kv::kClsidKvCtlConsistencia) return [] { return kv::CriaControleVisivel(); };
  if (clsid == kv::kClsidConsisteKV) return [] { return std::make_shared<kv::ConsisteKV>(); };
  return nullptr;
}
}  // namespace

extern "C" int DllRegisterServer() {
  for (const std::string& c : {kv::kClsidKvCtlConsistencia, kv::kClsidConsisteKV})
    kv::RegistraClasse(c, FabricaDe(c));
  return 0;
}

extern "C" int DllUnregisterServer() {
  kv::RemoveClasse(kv::kClsidKvCtlConsistencia);
  kv::RemoveClasse(kv::kClsidConsisteKV);
  return 0;
}

extern "C" int DllGetClassObject(const char* clsid, kv::Fabrica* fabrica) {
  if (!clsid || !fabrica) return 1;
  kv::Fabrica f = FabricaDe(clsid);
  if (!f) return 1;
  *fabrica = std::move(f);
  return 0;
}

extern "C" int DllCanUnloadNow() {
  return kv::ObjetoVivo::Quantos() == 0 ? 0 : 1;
}
