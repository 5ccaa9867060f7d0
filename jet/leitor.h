// Reading the host's Jet files (.mdb, .accdb). libmdb, which trusts every byte of the file, runs in a
// child process with tight limits; the child streams what it read over a pipe and this process checks
// every length, the order of what arrives and that nothing is missing. A damaged file ends in an Erro
// that names the table being read, never in a crash, a hang or a table left out.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/erro.h"

namespace kv::jet {

// A value as read: Null, an integer, a Double, a Currency count of ten-thousandths, text or bytes.
struct Valor {
  enum class Tipo : unsigned char { Nulo, Inteiro, Duplo, Moeda, Texto, Bytes } tipo = Tipo::Nulo;
  long long i = 0;  // Inteiro, Moeda (ten-thousandths)
  double d = 0;
  std::string t;  // Texto (UTF-8), Bytes
  bool operator==(const Valor&) const = default;
};

struct Coluna {
  std::string nome;
  std::string tipoSql;  // the declared SQLite type: CURRENCY, BOOLEAN, INTEGER, SMALLINT, ...
  bool operator==(const Coluna&) const = default;
};

struct Tabela {
  std::string nome;
  std::vector<Coluna> colunas;
  long long linhas = 0;  // the row count the file itself records
  bool operator==(const Tabela&) const = default;
};

// What receives the file's contents, in order: every table's definition first, then the rows of each
// table in catalog order. A member that throws ends the read (the child is stopped).
class Destinatario {
 public:
  virtual ~Destinatario() = default;
  virtual void Tabelas(const std::vector<Tabela>& tabelas) = 0;
  virtual void Linha(size_t tabela, const std::vector<Valor>& valores) = 0;
  // Asked while waiting for the child: true stops the read at once (Le returns false).
  virtual bool Interrompida() { return false; }
};

struct Limites {
  size_t memoria = size_t{1} << 30;  // the child's address space
  int cpuSegundos = 300;             // the child's processor time
  int silencioSegundos = 10;         // the longest wait for the child's next frame
  size_t mensagens = 1 << 20;        // the most libmdb may print before the child is stopped
};

// The reader's program, which runs libmdb: kvconsistencia/leitor-jet in the component folder, where the
// build and the installation put it.
std::string CaminhoDoLeitorJet();

// The libmdb the reader was built against ("1.0.0").
std::string VersaoLibmdb();

// Whether the file starts as a Jet (.mdb) or ACE (.accdb) database does; false for anything unreadable.
bool EhJet(const std::string& caminho);

// What can be told without reading the file: ErroDeUso for a path that names no Jet file, Erro for a
// file that is not a whole number of pages.
void Confere(const std::string& caminho);

// Reads the whole file (Confere first). A damaged file raises Erro (corrupt database) naming the table
// being read. Returns false when Interrompida() stopped the read. `avisos` receives libmdb's messages,
// each distinct line once, shown safely.
bool Le(const std::string& caminho, Destinatario& destino, std::vector<std::string>& avisos,
        const Limites& limites = {});

}  // namespace kv::jet
