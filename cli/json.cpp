#include "cli/json.h"

#include <cstdio>

#include "platform/texto.h"

namespace kv::cli {
namespace {

// The code point of a C1 or bidirectional control starting at s[i] (valid UTF-8), or 0.
char32_t Invisivel(const std::string& s, size_t i) {
  const auto b = [&](size_t k) { return i + k < s.size() ? static_cast<unsigned char>(s[i + k]) : 0u; };
  if (b(0) == 0xC2 && b(1) >= 0x80 && b(1) <= 0x9F) return b(1);
  if (b(0) == 0xD8 && b(1) == 0x9C) return 0x061C;
  if (b(0) != 0xE2) return 0;
  const char32_t cp = 0x2000 | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
  const bool bidi =
      cp == 0x200E || cp == 0x200F || (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069);
  return bidi ? cp : 0;
}

}  // namespace

std::string JsonTexto(std::string_view s) {
  // Bytes that are not UTF-8 (a damaged or hostile database) become U+FFFD: the document stays valid.
  const std::string valido = Utf8Valido(s);
  std::string r = "\"";
  for (size_t i = 0; i < valido.size(); ++i) {
    const char c = valido[i];
    unsigned char u = static_cast<unsigned char>(c);
    // C1 controls and bidirectional controls as escapes too: JSON printed on a terminal stays inert.
    if (const char32_t cp = Invisivel(valido, i)) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(cp));
      r += buf;
      i += cp < 0x800 ? 1 : 2;
      continue;
    }
    switch (c) {
      case '"':
        r += "\\\"";
        break;
      case '\\':
        r += "\\\\";
        break;
      case '\n':
        r += "\\n";
        break;
      case '\r':
        r += "\\r";
        break;
      case '\t':
        r += "\\t";
        break;
      default:
        if (u < 0x20 || u == 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", u);
          r += buf;
        } else {
          r += c;
        }
    }
  }
  return r + "\"";
}

}  // namespace kv::cli
