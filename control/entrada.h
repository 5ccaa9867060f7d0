// The library's four entry points: register and unregister its two public classes in the component
// registry, hand out a class factory, and say whether the library can be unloaded.
#pragma once

#include "platform/componentes.h"
#include "platform/exporta.h"

KV_PUBLICO_INICIO

namespace kv {
// The visible control's factory, defined with the widget (the logic never sees a widget header).
std::shared_ptr<Componente> CriaControleVisivel();
}  // namespace kv

extern "C" {
// 0 on success.
int DllRegisterServer();
int DllUnregisterServer();
// Copies the factory of `clsid` into `*fabrica`; 0 on success, 1 for a class this library lacks.
int DllGetClassObject(const char* clsid, kv::Fabrica* fabrica);
// 0 when no object of the library is alive (it may be unloaded), 1 otherwise.
int DllCanUnloadNow();
}

KV_PUBLICO_FIM
