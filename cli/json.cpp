#include "cli/json.h"

#include <cstdio>

#include "platform/texto.h"

namespace kv::cli {

std::string JsonTexto(std::string_view s) {
  // Bytes that are not UTF-8 (a damaged or hostile database) become U+FFFD: the document stays valid.
  const std::string valido = Utf8Valido(s);
  std::string r = "\"";
  for (size_t i = 0, n = 0; i < valido.size(); i += n) {
    char32_t cp = 0;
    n = LeCaractere(valido, i, cp);  // always a character: the text is valid UTF-8
    switch (cp) {
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
        // Controls, C1 and bidirectional ones included, as escapes: JSON printed on a terminal stays inert.
        if (Invisivel(cp)) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(cp));
          r += buf;
        } else {
          r.append(valido, i, n);
        }
    }
  }
  return r + "\"";
}

}  // namespace kv::cli
