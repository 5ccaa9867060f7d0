// Any text through the Jet SQL adapter, with and without model slots: no crash, no hang, parameters that
// match.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/db/jetsql.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t n) {
  std::string texto(reinterpret_cast<const char*>(dados), n);
  for (bool dynaset : {false, true}) {
    kv::SqlAdaptado a = kv::AdaptaJet(texto, dynaset);
    size_t marcas = 0;
    for (char c : a.texto) marcas += c == '?';
    if (marcas < a.parametros.size()) __builtin_trap();  // every lifted literal has its placeholder
  }
  // With model slots, every marker the text holds is a parameter that names its slot.
  kv::SqlAdaptado a = kv::AdaptaJet(texto, false, true);
  if (a.vagas.size() != a.parametros.size()) __builtin_trap();
  for (int v : a.vagas)
    if (v < -1 || v >= static_cast<int>(kv::kMaxVagasJet)) __builtin_trap();
  return 0;
}
