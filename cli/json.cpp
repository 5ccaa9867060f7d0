#include "cli/json.h"

#include <cstdio>

namespace kv::cli {

std::string JsonTexto(std::string_view s) {
  std::string r = "\"";
  for (char c : s) {
    unsigned char u = static_cast<unsigned char>(c);
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
        if (u < 0x20) {
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
