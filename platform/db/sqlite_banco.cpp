// Opening and creating SQLite files as Databases, and telling a database from any other file.
#include "platform/db/sqlite_banco.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "platform/db/colacao.h"
#include "platform/db/conexao.h"
#include "platform/erro.h"
#include "platform/externos.h"

namespace kv {
namespace {

bool ArquivoExiste(const std::string& caminho) {
  struct stat st;
  return !caminho.empty() && ::stat(caminho.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

constexpr size_t kAbertosPorThread = 4;

// One open connection per path for the thread, shared by every ConexaoBanco object on it.
class ConexaoPorCaminho : public ConexaoBanco {
 public:
  explicit ConexaoPorCaminho(bool somenteLeitura) : somenteLeitura_(somenteLeitura) {}
  std::shared_ptr<Database> AbreBanco(std::string& caminho) override {
    // One connection per path and mode for the thread.
    thread_local std::map<std::string, std::pair<ino_t, std::shared_ptr<Database>>> abertos;
    const std::string chave = (somenteLeitura_ ? "r:" : "w:") + caminho;
    auto it = abertos.find(chave);
    // Inside a check's snapshot the file was looked at when the check began: no stat per rule.
    if (it != abertos.end() && it->second.second->EmLeitura()) return it->second.second;
    struct stat st;
    if (caminho.empty() || ::stat(caminho.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
      abertos.erase(chave);
      return nullptr;
    }
    if (it != abertos.end() && it->second.first == st.st_ino) return it->second.second;
    auto banco = AbreSqlite(caminho, 5000, somenteLeitura_);  // a file replaced since is opened anew
    abertos.erase(chave);
    // A batch over many files moves from one to the next: the thread keeps a few connections, not one
    // per file it ever checked. One in the middle of a check is kept.
    for (auto velho = abertos.begin(); abertos.size() >= kAbertosPorThread && velho != abertos.end();)
      velho = velho->second.second->EmLeitura() ? std::next(velho) : abertos.erase(velho);
    if (banco) abertos[chave] = {st.st_ino, banco};
    return banco;
  }

 private:
  bool somenteLeitura_;
};

}  // namespace

std::shared_ptr<ConexaoBanco> ConexaoSqlite(bool somenteLeitura) {
  return std::make_shared<ConexaoPorCaminho>(somenteLeitura);
}

std::shared_ptr<Database> AbreSqlite(const std::string& caminho, int esperaMs, bool somenteLeitura) {
  if (!ArquivoExiste(caminho)) return nullptr;
  int rc = SQLITE_OK;
  SqliteProprio db = AbreConexao(
      caminho, (somenteLeitura ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX, rc);
  if (rc != SQLITE_OK) return nullptr;
  PreparaConexaoSqlite(db.get(), esperaMs);
  // Reading the schema tells a database from any other file (SQLITE_NOTADB) before a rule runs.
  rc = sqlite3_exec(db.get(), "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
  if (rc == SQLITE_NOTADB || rc == SQLITE_CORRUPT) return nullptr;
  if (rc != SQLITE_OK)
    throw Erro(kErroBancoBase + (rc & 0xFF), std::string(sqlite3_errmsg(db.get())) + " (" + caminho + ")");
  return std::make_shared<BancoSqlite>(std::move(db), caminho, somenteLeitura);
}

bool EhBancoSqlite(const std::string& caminho) {
  try {
    return AbreSqlite(caminho, 0, true) != nullptr;
  } catch (const Erro&) {
    return true;  // a database that is busy or locked right now is still a database
  }
}

std::string MotivoNaoEhBanco(const std::string& caminho) {
  if (caminho.empty()) return "nenhum banco de dados definido";
  struct stat st;
  if (::stat(caminho.c_str(), &st) != 0)
    return errno == ENOENT ? "o banco de dados não existe"
                           : std::string("inacessível: ") + std::strerror(errno);
  if (!S_ISREG(st.st_mode)) return "não é um arquivo";
  if (::access(caminho.c_str(), R_OK) != 0) return "sem permissão de leitura";
  if (st.st_size == 0) return "o arquivo está vazio (não é um banco de dados SQLite)";
  return EhBancoSqlite(caminho) ? "" : "não é um banco de dados SQLite";
}

std::string VersaoSqlite() {
  return sqlite3_libversion();
}

std::string PlanoDeConsulta(Database& db, const std::string& jet) {
  auto* b = dynamic_cast<BancoSqlite*>(&db);
  if (!b) return "";
  SqlAdaptado a = AdaptaJet(jet);
  sqlite3_stmt* st = nullptr;
  std::string texto = "EXPLAIN QUERY PLAN " + a.texto;
  if (sqlite3_prepare_v2(b->db(), texto.c_str(), -1, &st, nullptr) != SQLITE_OK)
    ErroSqlite(b->db(), 1, texto);
  for (size_t i = 0; i < a.parametros.size(); ++i)
    sqlite3_bind_int64(st, static_cast<int>(i + 1), a.parametros[i]);
  std::string plano;
  while (sqlite3_step(st) == SQLITE_ROW)
    plano += reinterpret_cast<const char*>(sqlite3_column_text(st, 3)) + std::string("\n");
  sqlite3_finalize(st);
  return plano;
}

std::shared_ptr<Database> CriaSqlite(const std::string& caminho) {
  if (ArquivoExiste(caminho)) throw Erro(kErroArquivo, "O arquivo já existe: " + caminho);
  int rc = SQLITE_OK;
  SqliteProprio db =
      AbreConexao(caminho, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, rc);
  if (rc != SQLITE_OK)
    throw Erro(kErroBancoBase + (rc & 0xFF), "Não foi possível criar " + caminho + ": " +
                                                 (db ? sqlite3_errmsg(db.get()) : sqlite3_errstr(rc)));
  PreparaConexaoSqlite(db.get());
  return std::make_shared<BancoSqlite>(std::move(db), caminho, false);
}

}  // namespace kv
