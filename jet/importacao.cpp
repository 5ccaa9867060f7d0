// The import's destination: SQLite tables made from the Jet file's definitions, filled row by row.
#include "jet/importacao.h"

#include <dirent.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QString>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstring>
#include <filesystem>

#include "platform/arquivo.h"
#include "platform/db/colacao.h"
#include "platform/db/esquema.h"
#include "platform/erro.h"
#include "platform/texto.h"

namespace kv::jet {
namespace {

std::atomic<int> gSinal{0};
extern "C" void AoSinal(int s) {
  gSinal = s;
}

// SIGINT, SIGTERM and SIGHUP only set gSinal while an import runs; the old handlers come back after.
class Sinais {
 public:
  Sinais() {
    gSinal = 0;
    struct sigaction acao {};
    acao.sa_handler = AoSinal;
    for (size_t i = 0; i < 3; ++i) ::sigaction(kSinais[i], &acao, &anteriores_[i]);
  }
  ~Sinais() {
    for (size_t i = 0; i < 3; ++i) ::sigaction(kSinais[i], &anteriores_[i], nullptr);
  }

 private:
  static constexpr int kSinais[3] = {SIGINT, SIGTERM, SIGHUP};
  struct sigaction anteriores_[3]{};
};

std::string Identificador(const std::string& nome) {
  std::string r = "\"";
  for (char c : nome) r += c == '"' ? std::string("\"\"") : std::string(1, c);
  return r + "\"";
}

// Temporary files of imports to `destino` whose process is gone.
void RemoveRestos(const std::string& destino) {
  const std::filesystem::path d = Absoluto(destino);
  const std::string pasta = d.parent_path().string();
  const std::string prefixo = "." + d.filename().string() + ".importando-";
  DIR* dir = ::opendir(pasta.c_str());
  if (!dir) return;
  while (const dirent* e = ::readdir(dir)) {
    const std::string nome = e->d_name;
    if (nome.compare(0, prefixo.size(), prefixo) != 0) continue;
    const std::string pid = nome.substr(prefixo.size());
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos || pid.size() > 9) continue;
    const long p = std::stol(pid);
    if (p != ::getpid() && ::kill(static_cast<pid_t>(p), 0) != 0 && errno == ESRCH)
      ::unlink((pasta + "/" + nome).c_str());
  }
  ::closedir(dir);
}

// The new database, as a temporary file beside the destination until Conclui renames it into place.
class Destino : public Destinatario {
 public:
  Destino(const std::string& destino, const Progresso& progresso, const std::atomic<bool>* cancela)
      : destino_(destino),
        temporario_(Temporario(destino, ::getpid())),
        progresso_(progresso),
        cancela_(cancela) {
    RemoveRestos(destino);
    ::unlink(temporario_.c_str());
    // Private while partial: it holds the taxpayer's data before it is whole.
    const int fd = ::open(temporario_.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
      throw Erro(kErroArquivo,
                 "Não foi possível criar " + TextoVisivel(temporario_) + ": " + std::strerror(errno));
    ::close(fd);
    criado_ = true;
    int rc = SQLITE_OK;
    db_ = AbreConexao(temporario_, SQLITE_OPEN_READWRITE, rc);
    if (rc != SQLITE_OK)
      throw Erro(kErroArquivo, "Não foi possível criar " + TextoVisivel(temporario_) + ": " +
                                   (db_ ? sqlite3_errmsg(db_.get()) : sqlite3_errstr(rc)));
    PreparaConexaoSqlite(db_.get());
    // The file is new and private until renamed: no journal, and one flush at the end.
    Executa("PRAGMA journal_mode = OFF");
    Executa("PRAGMA synchronous = OFF");
    Executa("BEGIN");
  }
  ~Destino() override {
    Finaliza();
    db_.reset();
    if (criado_ && !concluido_) ::unlink(temporario_.c_str());
  }

  void Tabelas(const std::vector<Tabela>& tabelas) override {
    tabelas_ = tabelas;
    for (const Tabela& t : tabelas) {
      total_ += t.linhas;
      std::string sql = "CREATE TABLE " + Identificador(t.nome) + " (";
      std::string insere = "INSERT INTO " + Identificador(t.nome) + " VALUES (";
      for (size_t i = 0; i < t.colunas.size(); ++i) {
        // Jet compares text without regard to case; so do the checks, through our NOCASE.
        sql += (i ? ", " : "") + Identificador(t.colunas[i].nome) + " " + t.colunas[i].tipoSql +
               (t.colunas[i].tipoSql == "TEXT" ? " COLLATE NOCASE" : "");
        insere += i ? ", ?" : "?";
      }
      Executa(sql + ")");
      sqlite3_stmt* st = nullptr;
      if (sqlite3_prepare_v2(db_.get(), (insere + ")").c_str(), -1, &st, nullptr) != SQLITE_OK)
        throw Erro(kErroBancoBase + 1,
                   std::string(sqlite3_errmsg(db_.get())) + " (tabela " + TextoVisivel(t.nome) + ")");
      insercoes_.push_back(st);
    }
  }

  void Linha(size_t tabela, const std::vector<Valor>& valores) override {
    sqlite3_stmt* st = insercoes_[tabela];
    for (size_t i = 0; i < valores.size(); ++i) {
      const Valor& v = valores[i];
      const int n = static_cast<int>(i + 1);
      switch (v.tipo) {
        case Valor::Tipo::Nulo:
          sqlite3_bind_null(st, n);
          break;
        case Valor::Tipo::Inteiro:
          sqlite3_bind_int64(st, n, v.i);
          break;
        case Valor::Tipo::Duplo:
          sqlite3_bind_double(st, n, v.d);
          break;
        case Valor::Tipo::Moeda:
          LigaMoeda(st, n, Currency{v.i});
          break;
        case Valor::Tipo::Texto:
          sqlite3_bind_text(st, n, v.t.data(), static_cast<int>(v.t.size()), SQLITE_TRANSIENT);
          break;
        case Valor::Tipo::Bytes:
          sqlite3_bind_blob(st, n, v.t.data(), static_cast<int>(v.t.size()), SQLITE_TRANSIENT);
          break;
      }
    }
    const int rc = sqlite3_step(st);
    sqlite3_reset(st);
    if (rc != SQLITE_DONE)
      throw Erro(kErroBancoBase + (rc & 0xFF), std::string(sqlite3_errmsg(db_.get())) + " (tabela " +
                                                   TextoVisivel(tabelas_[tabela].nome) + ")");
    if (++feitas_ % 2000 == 0 && progresso_) progresso_(tabelas_[tabela].nome, feitas_, total_);
  }

  bool Interrompida() override { return gSinal != 0 || (cancela_ && cancela_->load()); }

  void Executa(const std::string& sql) {
    char* erro = nullptr;
    if (sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, &erro) != SQLITE_OK) {
      std::string m = erro ? erro : "";
      sqlite3_free(erro);
      throw Erro(kErroBancoBase + 1, TextoVisivel(m) + " (SQL: " + TextoVisivel(sql) + ")");
    }
  }

  void Conclui() {
    Executa("COMMIT");
    Finaliza();
    db_.reset();
    // Whole now: the mode a new file of the user's gets, never wider than 0644.
    const int fd = ::open(temporario_.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
      ::fchmod(fd, 0644 & ~MascaraDoUsuario());
      ::fsync(fd);
      ::close(fd);
    }
    if (::rename(temporario_.c_str(), destino_.c_str()) != 0)
      throw Erro(kErroArquivo,
                 "Não foi possível gravar " + TextoVisivel(destino_) + ": " + std::strerror(errno));
    concluido_ = true;
  }

  const std::vector<Tabela>& Lidas() const { return tabelas_; }

 private:
  void Finaliza() {
    for (sqlite3_stmt* st : insercoes_) sqlite3_finalize(st);
    insercoes_.clear();
  }

  std::string destino_, temporario_;
  const Progresso& progresso_;
  const std::atomic<bool>* cancela_;
  SqliteProprio db_;
  std::vector<sqlite3_stmt*> insercoes_;
  std::vector<Tabela> tabelas_;
  long long feitas_ = 0, total_ = 0;
  bool criado_ = false, concluido_ = false;
};

bool MesmoNome(const std::string& tabela, const char* nome) {
  return QString::fromStdString(tabela).compare(QString::fromUtf8(nome), Qt::CaseInsensitive) == 0;
}

// Whether the file is of declarations; one must have every table the rules read (a damaged file can
// lose some).
bool ConfereDeclaracoes(const std::string& origem, const std::vector<Tabela>& tabelas) {
  auto tem = [&](const char* nome) {
    return std::any_of(tabelas.begin(), tabelas.end(),
                       [&](const Tabela& t) { return MesmoNome(t.nome, nome); });
  };
  if (!tem("tblDeclaração")) return false;
  std::string faltam;
  for (const char* t : kTabelasDasRegras)
    if (!tem(t)) faltam += (faltam.empty() ? "" : ", ") + std::string(t);
  if (!faltam.empty())
    throw Erro(kErroBancoBase + 11, "O arquivo " + TextoVisivel(origem) +
                                        " é de declarações, mas não tem as tabelas " + faltam +
                                        " (arquivo truncado ou danificado?)");
  return true;
}

}  // namespace

std::string Temporario(const std::string& destino, long pid) {
  const std::filesystem::path d = Absoluto(destino);
  return d.parent_path().string() + "/." + d.filename().string() + ".importando-" + std::to_string(pid);
}

Importacao Importa(const std::string& origem, const std::string& destino, const Progresso& progresso,
                   const Limites& limites, const std::atomic<bool>* cancela) {
  Confere(origem);  // a source that is no Jet file creates nothing
  Sinais sinais;
  Importacao r;
  Destino banco(destino, progresso, cancela);
  auto interrompida = [&] {
    r.sinal = gSinal;
    r.interrompida = true;
    r.tabelas.clear();
    return r;
  };
  if (!Le(origem, banco, r.avisos, limites)) return interrompida();
  r.declaracoes = ConfereDeclaracoes(origem, banco.Lidas());
  for (const Tabela& t : banco.Lidas()) {
    for (const IndiceDoEsquema& i : kIndicesDoEsquema)
      if (MesmoNome(t.nome, i.tabela)) banco.Executa(i.sql);
    r.tabelas.emplace_back(t.nome, t.linhas);
    r.linhas += t.linhas;
  }
  if (banco.Interrompida()) return interrompida();
  banco.Conclui();
  return r;
}

}  // namespace kv::jet
