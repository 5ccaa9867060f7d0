// Any text through the Jet SQL adapter and its shape pre-pass: no crash, no hang, parameters that match.
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
  std::string forma;
  std::vector<long long> numeros;
  kv::FormaJet(texto, forma, numeros);
  return 0;
}
