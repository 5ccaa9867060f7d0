// The Jet reader's own program, which the library starts for every read (jet/leitor.cpp): a fresh
// process rather than a fork, so that no lock another thread of the caller held at that moment (the
// allocator's, a library's) can leave the reader waiting for ever.
//
//   leitor-jet ARQUIVO PID-DO-PAI MEMÓRIA-EM-BYTES SEGUNDOS-DE-PROCESSADOR
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "jet/filho.h"

namespace {

template <class T>
bool Numero(const char* texto, T& valor) {
  const std::string_view t(texto);
  const auto [fim, erro] = std::from_chars(t.data(), t.data() + t.size(), valor);
  return erro == std::errc{} && fim == t.data() + t.size() && valor > 0;
}

}  // namespace

int main(int argc, char** argv) {
  kv::jet::Limites limites;
  pid_t pai = 0;
  if (argc != 5 || !Numero(argv[2], pai) || !Numero(argv[3], limites.memoria) ||
      !Numero(argv[4], limites.cpuSegundos)) {
    std::fprintf(stderr,
                 "uso: %s ARQUIVO PID-DO-PAI MEMÓRIA-EM-BYTES SEGUNDOS-DE-PROCESSADOR\n"
                 "(o leitor de arquivos Jet do kvconsistencia; não é feito para ser usado à mão)\n",
                 argc > 0 ? argv[0] : "leitor-jet");
    return 2;
  }
  kv::jet::ExecutaFilho(argv[1], limites, pai);
}
