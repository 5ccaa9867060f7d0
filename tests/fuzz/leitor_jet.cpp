// Whole Jet files, mutated from the fixtures, through the real reader (libmdb in its limited child):
// every input ends, in a read whose rows match its definitions or in kv::Erro, never a crash or a hang.
// Half the changes go to table definition pages (their column counts, column records and names, index
// counts and length), where a wrong count once made a Jet 3 table arrive with columns missing; a copy of
// a fixture that still reads must keep every table's columns.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "jet/leitor.h"
#include "platform/erro.h"
#include "tests/fuzz/confere_jet.h"

extern "C" size_t LLVMFuzzerMutate(uint8_t* dados, size_t n, size_t maximo);

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

kv::jet::Limites LimitesDoAlvo() {
  kv::jet::Limites limites;
  limites.silencioSegundos = 3;
  limites.memoria = size_t{512} << 20;
  return limites;
}

// A fixture the corpus started from: its size and each table's column count.
struct Intacto {
  off_t tamanho;
  std::map<std::string, size_t> colunas;
};
std::vector<Intacto> gIntactos;

// The page size of a whole Jet file (header and a whole number of pages), else 0.
size_t Pagina(const uint8_t* dados, size_t n) {
  if (n < 0x20 || std::memcmp(dados + 4, "Standard ", 9) != 0) return 0;
  const size_t pagina = dados[0x14] == 0 ? 2048 : 4096;
  return n % pagina == 0 && n >= 3 * pagina ? pagina : 0;
}

// One change to a table definition page, if the file has one.
bool MudaDefinicao(uint8_t* dados, size_t n, size_t pagina, std::minstd_rand& sorte) {
  const bool jet3 = pagina == 2048;
  std::vector<uint8_t*> definicoes;
  for (size_t p = pagina; p + pagina <= n; p += pagina)
    if (dados[p] == 0x02 && dados[p + 1] == 0x01) definicoes.push_back(dados + p);
  if (definicoes.empty()) return false;
  uint8_t* d = definicoes[sorte() % definicoes.size()];
  // The most columns a row holds, the variable-length ones and all described, then the two index counts;
  // the column records start after the index entries, their names after them.
  const size_t contagens = jet3 ? 21 : 41, registros = jet3 ? 43 : 63, registro = jet3 ? 18 : 25;
  const size_t colunas = d[contagens + 4] | d[contagens + 5] << 8;
  const size_t inicio = registros + (d[contagens + 10] | d[contagens + 11] << 8) * (jet3 ? 8 : 12);
  size_t onde = 0;
  bool contagem = true;  // a count goes anywhere from 0 to a little past its value, mostly lower
  switch (sorte() % 4) {
    case 0:  // one of the three column counts
      onde = contagens + 2 * (sorte() % 3);
      break;
    case 1:  // an index count
      onde = contagens + 6 + 4 * (sorte() % 2);
      break;
    case 2:  // the definition's length
      onde = 8 + sorte() % 2;
      contagem = false;
      break;
    default:  // a byte of a column record or name
      onde = inicio + sorte() % (colunas * (registro + 16) + 1);
      contagem = false;
  }
  if (onde >= pagina) return false;
  if (contagem)
    d[onde] = static_cast<uint8_t>(sorte() % (d[onde] + 4u));
  else
    d[onde] = sorte() % 2 ? static_cast<uint8_t>(sorte()) : static_cast<uint8_t>(d[onde] + 1 + sorte() % 3);
  return true;
}

}  // namespace

// The fixtures in KV_FUZZ_JET_INTACTOS (paths separated by spaces), read whole once.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* lista = std::getenv("KV_FUZZ_JET_INTACTOS");
  std::istringstream caminhos(lista ? lista : "");
  for (std::string caminho; caminhos >> caminho;) {
    struct stat st {};
    ConfereJet c;
    std::vector<std::string> avisos;
    if (::stat(caminho.c_str(), &st) != 0 || !kv::jet::Le(caminho, c, avisos, LimitesDoAlvo())) std::abort();
    Intacto intacto{st.st_size, {}};
    for (const kv::jet::Tabela& t : c.tabelas) intacto.colunas[t.nome] = t.colunas.size();
    gIntactos.push_back(std::move(intacto));
  }
  return 0;
}

// A whole Jet file mostly keeps its size (a file that is not a whole number of pages is refused before it is
// read): half the changes go to a definition page, most others inside one page; one in eight may resize.
extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* dados, size_t n, size_t maximo, unsigned semente) {
  std::minstd_rand sorte(semente);
  const size_t pagina = Pagina(dados, n);
  if (pagina == 0 || sorte() % 8 == 0) return LLVMFuzzerMutate(dados, n, maximo);
  if (sorte() % 2 && MudaDefinicao(dados, n, pagina, sorte)) return n;
  LLVMFuzzerMutate(dados + sorte() % (n / pagina) * pagina, pagina, pagina);
  return n;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t n) {
  std::FILE* f = std::fopen(Arquivo().c_str(), "wb");
  if (!f) std::abort();
  std::fwrite(dados, 1, n, f);
  std::fclose(f);
  ConfereJet c;
  std::vector<std::string> avisos;
  try {
    kv::jet::Le(Arquivo(), c, avisos, LimitesDoAlvo());
  } catch (const kv::Erro&) {
    return 0;
  } catch (const kv::ErroDeUso&) {
    return 0;
  }
  // Read whole: a table of the fixture this was copied from (same size, same table name) kept its columns.
  for (const Intacto& i : gIntactos) {
    if (i.tamanho != static_cast<off_t>(n)) continue;
    for (const kv::jet::Tabela& t : c.tabelas) {
      const auto e = i.colunas.find(t.nome);
      if (e != i.colunas.end() && e->second != t.colunas.size()) __builtin_trap();
    }
  }
  return 0;
}
