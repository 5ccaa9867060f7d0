#include "platform/texto.h"

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
