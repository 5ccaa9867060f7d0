// "#,##0.00" on any Currency: digits, separators and at most one leading minus, never "-0,00".
#include "platform/formato.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t n) {
  if (n < sizeof(int64_t)) return 0;
  int64_t u;
  std::memcpy(&u, dados, sizeof u);
  std::string s = kv::FormataValor(kv::Currency{u}, ".", ",");
  if (s == "-0,00") __builtin_trap();
  size_t virgula = s.find(',');
  if (virgula == std::string::npos || s.size() - virgula != 3) __builtin_trap();
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    bool ok = (c >= '0' && c <= '9') || c == '.' || c == ',' || (c == '-' && i == 0);
    if (!ok) __builtin_trap();
  }
  return 0;
}
