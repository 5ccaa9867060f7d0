// Inside the SQLite layer: a prepared statement with its columns, and the pool that lends statements out.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kv {

// How a column's declared type turns stored values into Variants.
enum class Classe : uint8_t { Moeda, Longo, Inteiro, Logico, Duplo, Texto, Livre };

// Field names compared without regard to case: ASCII and the accented Latin-1 letters the schema uses.
std::string Dobra(std::string_view nome);

struct Coluna {
  std::string nome;
  Classe classe;
  std::string tabela;  // the table the column comes from, where SQLite knows it
};

// A prepared statement and what its columns look like.
class Preparado {
 public:
  Preparado(sqlite3_stmt* stmt, std::string texto);
  ~Preparado() { sqlite3_finalize(stmt_); }
  Preparado(const Preparado&) = delete;
  Preparado& operator=(const Preparado&) = delete;

  sqlite3_stmt* stmt() const { return stmt_; }
  const std::string& texto() const { return texto_; }  // the SQLite text it was prepared from
  int parametros() const { return parametros_; }
  const Coluna& coluna(int i) const { return colunas_[static_cast<size_t>(i)]; }
  int colunas() const { return static_cast<int>(colunas_.size()); }
  int colunaRowid() const { return colRowid_; }
  // The column a field name reads: the first of that exact name, else the first of that name in another
  // case. An unknown name raises error 3265.
  int Indice(std::string_view nome) const;
  // Call after a step: SQLite prepares a statement again when the schema changed under it (a host
  // altering a table), and its columns may then have moved.
  void ConfereColunas();

 private:
  void Descreve();

  sqlite3_stmt* stmt_;
  std::string texto_;
  int parametros_;
  std::vector<Coluna> colunas_;
  std::vector<std::string> nomes_, dobrados_;  // each column's name, and folded for the fallback
  int colRowid_ = -1;
  int repreparos_ = 0;  // SQLite's count of re-preparations when the columns were last read
};

// A connection's prepared statements, by SQLite text. A statement is lent to one user at a time and comes
// back, reset, when its lease ends; a text in use twice at once gets a second statement. Kept, a check
// costs 0.32 of what it costs preparing every statement anew (3,000 checks, median of 9 paired runs).
// Bounded: kPorTexto idle statements per text, and past kTextos texts it starts again.
class PoolDeComandos {
 public:
  static constexpr size_t kPorTexto = 4, kTextos = 256;

  class Emprestimo {
   public:
    Emprestimo() = default;
    Emprestimo(PoolDeComandos* pool, std::unique_ptr<Preparado> p) : pool_(pool), p_(std::move(p)) {}
    Emprestimo(Emprestimo&& o) noexcept = default;
    Emprestimo& operator=(Emprestimo&& o) noexcept {
      Devolve();
      pool_ = o.pool_;
      p_ = std::move(o.p_);
      return *this;
    }
    ~Emprestimo() { Devolve(); }
    Preparado* operator->() const { return p_.get(); }
    explicit operator bool() const { return p_ != nullptr; }
    void Devolve() noexcept;

   private:
    PoolDeComandos* pool_ = nullptr;
    std::unique_ptr<Preparado> p_;
  };

  explicit PoolDeComandos(sqlite3* db) : db_(db) {}
  // A statement for `texto`, prepared now unless an idle one is there. `jet` is the text the caller gave,
  // which an error names.
  Emprestimo Empresta(const std::string& texto, const std::string& jet);
  // Finalises every idle statement (the connection is closing).
  void Esvazia() { livres_.clear(); }

 private:
  void Guarda(std::unique_ptr<Preparado> p);
  sqlite3* db_;
  std::unordered_map<std::string, std::vector<std::unique_ptr<Preparado>>> livres_;
};

// Error 3000 + SQLite's code, with a Portuguese lead-in the user can act on, the engine's message and
// the text that failed.
[[noreturn]] void ErroSqlite(sqlite3* db, int rc, const std::string& sql);

}  // namespace kv
