#include "platform/texto.h"

#include <cstdio>

namespace kv {

std::vector<std::string> Divide(std::string_view texto, std::string_view sep) {
  std::vector<std::string> pecas;
  size_t inicio = 0;
  for (;;) {
    size_t p = sep.empty() ? std::string_view::npos : texto.find(sep, inicio);
    if (p == std::string_view::npos) {
      pecas.emplace_back(texto.substr(inicio));
      return pecas;
    }
    pecas.emplace_back(texto.substr(inicio, p - inicio));
    inicio = p + sep.size();
  }
}

namespace {
bool Continuacao(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

// Byte offset of character index `n` (0-based), or s.size() when past the end.
size_t Offset(std::string_view s, size_t n) {
  size_t i = 0;
  while (i < s.size() && n > 0) {
    ++i;
    while (i < s.size() && Continuacao(static_cast<unsigned char>(s[i]))) ++i;
    --n;
  }
  return i;
}
}  // namespace

size_t Caracteres(std::string_view s) {
  size_t n = 0;
  for (unsigned char c : s)
    if (!Continuacao(c)) ++n;
  return n;
}

std::string Resumido(std::string_view s, size_t maximo) {
  if (Caracteres(s) <= maximo) return std::string(s);
  return Esquerda(s, maximo) + "…(" + std::to_string(s.size()) + " bytes)";
}

std::string Esquerda(std::string_view s, size_t n) {
  return std::string(s.substr(0, Offset(s, n)));
}

std::string Direita(std::string_view s, size_t n) {
  size_t total = Caracteres(s);
  return n >= total ? std::string(s) : std::string(s.substr(Offset(s, total - n)));
}

std::string Meio(std::string_view s, size_t inicio, size_t n) {
  if (inicio < 1) inicio = 1;
  size_t a = Offset(s, inicio - 1);
  std::string_view resto = s.substr(a);
  return std::string(resto.substr(0, Offset(resto, n)));
}

std::string MeioAteFim(std::string_view s, size_t inicio) {
  if (inicio < 1) inicio = 1;
  return std::string(s.substr(Offset(s, inicio - 1)));
}

std::string Apostrofado(std::string_view s) {
  std::string r;
  r.reserve(s.size() + 2);
  for (char c : s) {
    r += c;
    if (c == '\'') r += '\'';
  }
  return r;
}

}  // namespace kv

namespace kv {

size_t LeCaractere(std::string_view s, size_t i, char32_t& cp) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(s[i + k]); };
  const unsigned char c = b(0);
  size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  cp = n == 1 ? c : c & (0x7F >> n);
  for (size_t k = 1; k < n; ++k) {
    if (!Continuacao(b(k))) return 0;
    cp = (cp << 6) | (b(k) & 0x3F);
  }
  static constexpr char32_t kMinimo[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMinimo[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

bool Invisivel(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0x061C || c == 0x200E || c == 0x200F ||
         (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

std::string TextoVisivel(std::string_view s, bool quebras) {
  std::string r;
  r.reserve(s.size());
  char escape[16];
  for (size_t i = 0; i < s.size();) {
    char32_t cp = 0;
    const size_t n = LeCaractere(s, i, cp);
    if (n == 0) {
      std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned char>(s[i]));
      r += escape;
      ++i;
      continue;
    }
    if (quebras && cp == '\r' && i + 1 < s.size() && s[i + 1] == '\n') {
      // a Windows line end is a line end
    } else if (quebras && (cp == '\n' || cp == '\t')) {
      r += static_cast<char>(cp);
    } else if (Invisivel(cp)) {
      std::snprintf(escape, sizeof escape, cp < 0x80 ? "\\x%02x" : "\\u%04x", static_cast<unsigned>(cp));
      r += escape;
    } else {
      r.append(s.substr(i, n));
    }
    i += n;
  }
  return r;
}

std::string Utf8Valido(std::string_view s) {
  std::string r;
  r.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    char32_t cp = 0;
    const size_t n = LeCaractere(s, i, cp);
    if (n == 0) {
      r += "\xEF\xBF\xBD";
      ++i;
    } else {
      r.append(s.substr(i, n));
      i += n;
    }
  }
  return r;
}

}  // namespace kv
