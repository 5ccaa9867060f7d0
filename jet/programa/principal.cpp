// The Jet reader's own program, which the library starts for every read (jet/leitor.cpp): a fresh
// process rather than a fork, so that no lock another thread of the caller held at that moment (the
// allocator's, a library's) can leave the reader waiting for ever.
//
//   leitor-jet VERSÃO ARQUIVO PID-DO-PAI MEMÓRIA-EM-BYTES SEGUNDOS-DE-PROCESSADOR
//
// A library of another version (a host still running after an upgrade) may speak another frame format:
// it is refused with kSaidaDeOutraVersao, which the library reports as a broken installation, not as a
// damaged file.
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
  if (argc != 6 || std::strcmp(argv[1], KV_VERSAO) != 0 || !Numero(argv[3], pai) ||
      !Numero(argv[4], limites.memoria) || !Numero(argv[5], limites.cpuSegundos)) {
    std::fprintf(stderr,
                 "o leitor de arquivos Jet %s não serve a este chamador (uso: VERSÃO ARQUIVO PID-DO-PAI "
                 "MEMÓRIA-EM-BYTES SEGUNDOS-DE-PROCESSADOR); instale o kvconsistencia outra vez\n",
                 KV_VERSAO);
    return kv::jet::kSaidaDeOutraVersao;
  }
  kv::jet::ExecutaFilho(argv[2], limites, pai);
}
