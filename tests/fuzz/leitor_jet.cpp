// Whole Jet files, mutated from the fixtures, through the real reader (libmdb in its limited child):
// every input ends, in a read whose rows match its definitions or in kv::Erro, never a crash or a hang.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "jet/leitor.h"
#include "platform/erro.h"
#include "tests/fuzz/confere_jet.h"

namespace {

const std::string& Arquivo() {
  static const std::string caminho = [] {
    char modelo[] = "/tmp/kv-fuzz-jet-XXXXXX";
    const int fd = ::mkstemp(modelo);
    if (fd < 0) std::abort();
    ::close(fd);
    return std::string(modelo);
  }();
  return caminho;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t n) {
  std::FILE* f = std::fopen(Arquivo().c_str(), "wb");
  if (!f) std::abort();
  std::fwrite(dados, 1, n, f);
  std::fclose(f);
  kv::jet::Limites limites;
  limites.silencioSegundos = 3;
  limites.memoria = size_t{512} << 20;
  ConfereJet c;
  std::vector<std::string> avisos;
  try {
    kv::jet::Le(Arquivo(), c, avisos, limites);
  } catch (const kv::Erro&) {
  } catch (const kv::ErroDeUso&) {
  }
  return 0;
}
