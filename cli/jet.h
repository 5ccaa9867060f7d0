// Reading the host's Jet files (.mdb, .accdb) through libmdb. Values are decoded from the row's own
// bytes and null flags, not from libmdb's text conversion: Currency stays exact, dates keep every year,
// Null stays apart from empty text and no character is turned into '?'.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kv::jet {

// A value as read: Null, an integer, a Double, a Currency count of ten-thousandths, text or bytes.
struct Valor {
  enum class Tipo { Nulo, Inteiro, Duplo, Moeda, Texto, Bytes } tipo = Tipo::Nulo;
  long long i = 0;  // Inteiro, Moeda (ten-thousandths)
  double d = 0;
  std::string t;  // Texto (UTF-8), Bytes
};

struct Coluna {
  std::string nome;
  std::string tipoSql;  // the declared SQLite type: CURRENCY, BOOLEAN, INTEGER, SMALLINT, ...
};

struct Tabela {
  std::string nome;
  std::vector<Coluna> colunas;
  long linhas = 0;  // the row count the file itself records
};

class Arquivo {
 public:
  // Opens the file read-only. A file that is missing, not a Jet database, truncated or damaged raises
  // Erro naming the file and the reason. libmdb's environment variables are set aside for the life of
  // the object, and its messages are kept from the terminal (Mensagens() returns them).
  explicit Arquivo(const std::string& caminho);
  ~Arquivo();
  Arquivo(const Arquivo&) = delete;
  Arquivo& operator=(const Arquivo&) = delete;

  // The user tables, in catalog order.
  const std::vector<Tabela>& Tabelas() const { return tabelas_; }
  // Calls `linha` for every row of the table, in the file's order; returns the number of rows read.
  // `linha` returning false stops the read (an interruption).
  long Le(const Tabela& tabela, const std::function<bool(const std::vector<Valor>&)>& linha);
  // What libmdb said on its own output channels, if anything, as " (libmdb: ...)".
  std::string Mensagens();
  // The terminal's standard error, for progress while a read keeps libmdb's output away from it.
  int Terminal() const;

 private:
  struct Estado;
  std::unique_ptr<Estado> e_;
  std::vector<Tabela> tabelas_;
};

// Jet's date (days since 1899-12-30, the fraction the time of day) as "YYYY-MM-DD HH:MM:SS".
std::string DataIso(double dias);

}  // namespace kv::jet
