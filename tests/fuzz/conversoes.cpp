// Variant conversions and comparisons on arbitrary texts and doubles: only the system's own errors.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/erro.h"
#include "platform/variant.h"

namespace {
template <class F>
void Tenta(F f) {
  try {
    f();
  } catch (const kv::Erro& e) {
    int n = e.numero();
    if (n != kv::kErroEstouro && n != kv::kErroTipos && n != kv::kErroNulo) __builtin_trap();
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t n) {
  std::string texto(reinterpret_cast<const char*>(dados), n);
  kv::Variant s = kv::Variant::Str(texto);
  double d = 0;
  if (n >= sizeof d) std::memcpy(&d, dados, sizeof d);
  kv::Variant x = kv::Variant::Dbl(d);
  int64_t u = 0;
  if (n >= sizeof u) std::memcpy(&u, dados + n - sizeof u, sizeof u);
  kv::Variant c = kv::Variant::Cur(kv::Currency{u});
  for (const kv::Variant* v : {&s, &x, &c}) {
    Tenta([&] { kv::CCur(*v); });
    Tenta([&] { kv::CByte(*v); });
    Tenta([&] { kv::CInt(*v); });
    Tenta([&] { kv::CLng(*v); });
    Tenta([&] { kv::CStr(*v); });
    Tenta([&] { kv::Produto(*v, 0.25); });
    for (const kv::Variant* w : {&s, &x, &c}) {
      Tenta([&] { kv::Soma(*v, *w); });
      Tenta([&] { kv::Maior(*v, *w); });
      Tenta([&] { kv::Igual(*v, *w); });
    }
  }
  return 0;
}
