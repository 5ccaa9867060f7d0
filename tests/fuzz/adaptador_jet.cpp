// Any text through the Jet SQL adapter and its shape pre-pass: no crash, no hang, parameters that match,
// and a shape that does not depend on where the text starts.
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
  // The shape pass reads many bytes at a time: moving the text by one byte must move its shape alike.
  std::string forma, deslocada;
  std::vector<long long> numeros, outros;
  bool cabe = kv::FormaJet(texto, forma, numeros);
  if (kv::FormaJet(" " + texto, deslocada, outros) != cabe) __builtin_trap();
  if (cabe && (deslocada != " " + forma || outros != numeros)) __builtin_trap();
  return 0;
}
