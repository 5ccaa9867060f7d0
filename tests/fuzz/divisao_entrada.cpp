// The entry split and the character positions on arbitrary bytes: joining the pieces gives the text back;
// text made safe for a terminal or for JSON is valid UTF-8 without control characters.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/texto.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t n) {
  std::string texto(reinterpret_cast<const char*>(dados), n);
  auto pecas = kv::Divide(texto, " # ");
  std::string junto;
  for (size_t i = 0; i < pecas.size(); ++i) junto += (i ? " # " : "") + pecas[i];
  if (junto != texto) __builtin_trap();
  size_t c = kv::Caracteres(texto);
  for (size_t k : {size_t{0}, size_t{1}, size_t{2}, size_t{3}, size_t{8}, c, c + 1}) {
    kv::Esquerda(texto, k);
    kv::Direita(texto, k);
    kv::Meio(texto, k, 4);
    kv::MeioAteFim(texto, k);
  }
  kv::Apostrofado(texto);
  // What reaches a terminal: valid UTF-8 with no control byte but line breaks and tabs.
  for (bool quebras : {false, true}) {
    const std::string visivel = kv::TextoVisivel(texto, quebras);
    if (kv::Utf8Valido(visivel) != visivel) __builtin_trap();
    for (unsigned char b : visivel)
      if ((b < 0x20 && !(quebras && (b == '\n' || b == '\t'))) || b == 0x7F) __builtin_trap();
  }
  const std::string valido = kv::Utf8Valido(texto);
  if (kv::Utf8Valido(valido) != valido) __builtin_trap();
  return 0;
}
