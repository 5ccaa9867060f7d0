// Text for people and for programs, each written whole.
#include "cli/saida.h"

#include <string>

#include "platform/texto.h"

namespace kv::cli {

void EscreveCru(std::FILE* f, std::string_view texto) {
  std::fwrite(texto.data(), 1, texto.size(), f);
}

void Escreve(std::FILE* f, std::string_view texto) {
  EscreveCru(f, TextoVisivel(texto, true));
}

}  // namespace kv::cli
