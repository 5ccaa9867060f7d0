// Prepared statements: where a statement is prepared, where its columns are described, and the pool that
// lends statements to recordsets.
#include "platform/db/comandos.h"

#include "platform/erro.h"

namespace kv {
namespace {

Classe ClassePorTipo(const char* decl) {
  if (!decl) return Classe::Livre;
  std::string d;
  for (const char* p = decl; *p; ++p) d += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
  auto tem = [&](const char* w) { return d.find(w) != std::string::npos; };
  if (tem("CURRENCY") || tem("MONEY")) return Classe::Moeda;
  if (tem("SMALLINT")) return Classe::Inteiro;
  if (tem("BOOL") || tem("BIT") || tem("YESNO")) return Classe::Logico;
  if (tem("INT") || tem("LONG")) return Classe::Longo;
  if (tem("REAL") || tem("DOUB") || tem("FLOA") || tem("NUMERIC") || tem("DECIMAL")) return Classe::Duplo;
  return Classe::Texto;
}

// A Portuguese lead-in for the failures a user can act on; the engine's own message follows it.
const char* Explicacao(int rc) {
  switch (rc & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return "O banco de dados está bloqueado por outro processo: ";
    case SQLITE_READONLY:
      return "O banco de dados só pode ser lido: ";
    case SQLITE_CORRUPT:
      return "O banco de dados está corrompido: ";
    case SQLITE_NOTADB:
      return "O arquivo não é um banco de dados: ";
    case SQLITE_FULL:
      return "Não há espaço em disco: ";
    case SQLITE_IOERR:
      return "Erro de leitura ou gravação no banco de dados: ";
    case SQLITE_CANTOPEN:
      return "Não foi possível abrir o banco de dados: ";
    default:
      return "";
  }
}

}  // namespace

std::string Dobra(std::string_view s) {
  std::string r(s);
  for (size_t i = 0; i < r.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(r[i]);
    if (c >= 'A' && c <= 'Z') r[i] = static_cast<char>(c + 32);
    if (c == 0xC3 && i + 1 < r.size()) {
      unsigned char d = static_cast<unsigned char>(r[i + 1]);
      if (d >= 0x80 && d <= 0x9E && d != 0x97) r[i + 1] = static_cast<char>(d + 0x20);
      ++i;
    }
  }
  return r;
}

[[noreturn]] void ErroSqlite(sqlite3* db, int rc, const std::string& sql) {
  std::string msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  throw Erro(kErroBancoBase + (rc & 0xFF), Explicacao(rc) + msg + " (SQL: " + sql + ")");
}

Preparado::Preparado(sqlite3_stmt* stmt, std::string texto)
    : stmt_(stmt), texto_(std::move(texto)), parametros_(sqlite3_bind_parameter_count(stmt)) {
  Descreve();
}

void Preparado::Descreve() {
  colunas_.clear();
  nomes_.clear();
  dobrados_.clear();
  colRowid_ = -1;
  const int n = sqlite3_column_count(stmt_);
  for (int i = 0; i < n; ++i) {
    const char* nome = sqlite3_column_name(stmt_, i);
    const char* tabela = sqlite3_column_table_name(stmt_, i);
    Coluna c{nome ? nome : "", ClassePorTipo(sqlite3_column_decltype(stmt_, i)), tabela ? tabela : ""};
    if (c.nome == "kv_rowid__") colRowid_ = i;
    nomes_.push_back(c.nome);
    dobrados_.push_back(Dobra(c.nome));
    colunas_.push_back(std::move(c));
  }
}

void Preparado::ConfereColunas() {
  const int vezes = sqlite3_stmt_status(stmt_, SQLITE_STMTSTATUS_REPREPARE, 0);
  if (vezes == repreparos_) return;
  repreparos_ = vezes;
  Descreve();
}

int Preparado::Indice(std::string_view nome) const {
  // A statement has a few dozen columns at most: a scan of their names is all the map it needs.
  for (size_t i = 0; i < nomes_.size(); ++i)
    if (nomes_[i] == nome) return static_cast<int>(i);
  const std::string dobrado = Dobra(nome);
  for (size_t i = 0; i < dobrados_.size(); ++i)
    if (dobrados_[i] == dobrado) return static_cast<int>(i);
  throw Erro(kErroItemNaoEncontrado, "Item não encontrado nesta coleção: " + std::string(nome));
}

PoolDeComandos::Emprestimo PoolDeComandos::Empresta(const std::string& texto, const std::string& jet) {
  if (auto it = livres_.find(texto); it != livres_.end() && !it->second.empty()) {
    std::unique_ptr<Preparado> p = std::move(it->second.back());
    it->second.pop_back();
    return {this, std::move(p)};
  }
  sqlite3_stmt* stmt = nullptr;
  const int rc = sqlite3_prepare_v2(db_, texto.c_str(), static_cast<int>(texto.size()), &stmt, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(stmt);
    ErroSqlite(db_, rc, jet);
  }
  // Only blanks or comments: SQLite prepares nothing, and nothing may run.
  if (!stmt) throw Erro(kErroSqlVazio, "Instrução SQL vazia (SQL: " + jet + ")");
  return {this, std::make_unique<Preparado>(stmt, texto)};
}

void PoolDeComandos::Guarda(std::unique_ptr<Preparado> p) {
  sqlite3_reset(p->stmt());
  if (livres_.size() >= kTextos && !livres_.count(p->texto())) livres_.clear();  // stays bounded
  auto& lista = livres_[p->texto()];
  if (lista.size() < kPorTexto) lista.push_back(std::move(p));
}

void PoolDeComandos::Emprestimo::Devolve() noexcept {
  if (p_ && pool_) pool_->Guarda(std::move(p_));
  p_.reset();
}

}  // namespace kv
