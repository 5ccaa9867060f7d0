// The Jet reader's pipe format as the parent reads it, on arbitrary bytes: whatever a broken or hostile
// child sends, the parent either takes a stream that agrees with itself or stops with Parada.
#include <cstddef>
#include <cstdint>
#include <string>

#include "jet/quadros.h"
#include "tests/fuzz/confere_jet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t n) {
  ConfereJet c;
  kv::jet::Separador s;
  kv::jet::Receptor r(c);
  try {
    // In two pieces, as a pipe may deliver it.
    const std::string_view fluxo(reinterpret_cast<const char*>(dados), n);
    for (std::string_view parte : {fluxo.substr(0, n / 2), fluxo.substr(n / 2)}) {
      s.Junta(parte);
      char tipo = 0;
      for (std::string corpo; s.Proximo(tipo, corpo);) r.Recebe(tipo, corpo);
    }
  } catch (const kv::jet::Parada&) {
  }
  return 0;
}
