// importar: a Jet file of the host (.mdb, .accdb) copied into a new SQLite database that every other
// command reads. The copy is one transaction into a temporary file renamed into place at the end, so an
// error or Ctrl-C leaves no destination at all; the source is only read.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "cli/comandos.h"
#include "cli/jet.h"
#include "cli/json.h"
#include "cli/opcoes.h"
#include "host/exemplo.h"
#include "platform/arquivo.h"
#include "platform/db/colacao.h"
#include "platform/erro.h"
#include "platform/variant.h"

namespace kv::cli {
namespace {

std::atomic<bool> gInterrompida{false};
extern "C" void AoInterromperImportacao(int) {
  gInterrompida = true;
}

struct Interrompida {};

std::string Identificador(const std::string& nome) {
  std::string r = "\"";
  for (char c : nome) r += c == '"' ? std::string("\"\"") : std::string(1, c);
  return r + "\"";
}

// The new database, as a temporary file beside the destination until Conclui renames it into place.
class Destino {
 public:
  explicit Destino(const std::string& destino) : destino_(destino) {
    temporario_ = QFileInfo(QString::fromStdString(destino)).absolutePath().toStdString() + "/." +
                  QFileInfo(QString::fromStdString(destino)).fileName().toStdString() + ".importando-" +
                  std::to_string(::getpid());
    ::unlink(temporario_.c_str());
    if (sqlite3_open_v2(temporario_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK)
      throw Erro(kErroArquivo, "Não foi possível criar " + temporario_ + ": " + sqlite3_errmsg(db_));
    PreparaConexaoSqlite(db_);
    // The file is new and private until renamed: no journal, and one flush at the end.
    Executa("PRAGMA journal_mode = OFF");
    Executa("PRAGMA synchronous = OFF");
    Executa("BEGIN");
  }
  ~Destino() {
    for (sqlite3_stmt* st : insercoes_) sqlite3_finalize(st);
    if (db_) sqlite3_close_v2(db_);
    if (!concluido_) ::unlink(temporario_.c_str());
  }
  void Executa(const std::string& sql) {
    char* erro = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &erro) != SQLITE_OK) {
      std::string m = erro ? erro : "";
      sqlite3_free(erro);
      throw Erro(kErroBancoBase + 1, m + " (SQL: " + sql + ")");
    }
  }
  // The table and the statement that inserts its rows (null for a table without columns).
  sqlite3_stmt* CriaTabela(const jet::Tabela& t) {
    std::string sql = "CREATE TABLE " + Identificador(t.nome) + " (";
    std::string insere = "INSERT INTO " + Identificador(t.nome) + " VALUES (";
    for (size_t i = 0; i < t.colunas.size(); ++i) {
      // Jet compares text without regard to case; so do the checks, through our NOCASE.
      sql += (i ? ", " : "") + Identificador(t.colunas[i].nome) + " " + t.colunas[i].tipoSql +
             (t.colunas[i].tipoSql == "TEXT" ? " COLLATE NOCASE" : "");
      insere += i ? ", ?" : "?";
    }
    Executa(sql + ")");
    insere += ")";
    sqlite3_stmt* st = nullptr;
    if (!t.colunas.empty() && sqlite3_prepare_v2(db_, insere.c_str(), -1, &st, nullptr) != SQLITE_OK)
      throw Erro(kErroBancoBase + 1, std::string(sqlite3_errmsg(db_)) + " (SQL: " + insere + ")");
    insercoes_.push_back(st);
    return st;
  }
  void Insere(sqlite3_stmt* st, const std::string& tabela, const std::vector<jet::Valor>& valores) {
    if (!st) return;
    for (size_t i = 0; i < valores.size(); ++i) {
      const jet::Valor& v = valores[i];
      int n = static_cast<int>(i + 1);
      switch (v.tipo) {
        case jet::Valor::Tipo::Nulo:
          sqlite3_bind_null(st, n);
          break;
        case jet::Valor::Tipo::Inteiro:
          sqlite3_bind_int64(st, n, v.i);
          break;
        case jet::Valor::Tipo::Duplo:
          sqlite3_bind_double(st, n, v.d);
          break;
        case jet::Valor::Tipo::Moeda:
          LigaMoeda(st, n, Currency{v.i});
          break;
        case jet::Valor::Tipo::Texto:
          sqlite3_bind_text(st, n, v.t.data(), static_cast<int>(v.t.size()), SQLITE_TRANSIENT);
          break;
        case jet::Valor::Tipo::Bytes:
          sqlite3_bind_blob(st, n, v.t.data(), static_cast<int>(v.t.size()), SQLITE_TRANSIENT);
          break;
      }
    }
    int rc = sqlite3_step(st);
    sqlite3_reset(st);
    if (rc != SQLITE_DONE)
      throw Erro(kErroBancoBase + (rc & 0xFF), std::string(sqlite3_errmsg(db_)) + " (" + tabela + ")");
  }
  void Conclui() {
    Executa("COMMIT");
    for (sqlite3_stmt* st : insercoes_) sqlite3_finalize(st);
    insercoes_.clear();
    sqlite3_close_v2(db_);
    db_ = nullptr;
    int fd = ::open(temporario_.c_str(), O_RDONLY);
    if (fd >= 0) {
      ::fsync(fd);
      ::close(fd);
    }
    if (::rename(temporario_.c_str(), destino_.c_str()) != 0)
      throw Erro(kErroArquivo, "Não foi possível gravar " + destino_ + ": " + std::strerror(errno));
    concluido_ = true;
  }

 private:
  std::string destino_, temporario_;
  sqlite3* db_ = nullptr;
  std::vector<sqlite3_stmt*> insercoes_;
  bool concluido_ = false;
};

void Progresso(int fd, const std::string& tabela, long feitas, long total) {
  int largura = 30, cheio = total ? static_cast<int>(largura * std::min(feitas, total) / total) : largura;
  std::string barra = "\r[" + std::string(static_cast<size_t>(cheio), '#') +
                      std::string(static_cast<size_t>(largura - cheio), '.') + "] " + std::to_string(feitas) +
                      "/" + std::to_string(total) + " linhas  " + tabela + "\033[K";
  [[maybe_unused]] ssize_t n = ::write(fd, barra.data(), barra.size());
}

}  // namespace

int Importar(const Args& a) {
  Opcoes o(a, {}, {"--json", "--substituir"}, 2);
  if (o.Posicionais().size() != 2)
    throw ErroUso("informe o arquivo Jet de origem e o banco de dados de destino");
  const std::string origem =
      QFileInfo(QString::fromStdString(o.Posicionais()[0])).absoluteFilePath().toStdString();
  const std::string destino = o.Posicionais()[1];
  struct stat st;
  if (::stat(origem.c_str(), &st) != 0)
    throw ErroUso("o arquivo de origem '" + o.Posicionais()[0] + "' não existe");
  if (MesmoArquivo(origem, destino)) throw ErroUso("o destino é o próprio arquivo de origem");
  if (::stat(destino.c_str(), &st) == 0 && !o.Tem("--substituir"))
    throw ErroUso("o destino '" + destino + "' já existe; use --substituir para trocá-lo");

  auto inicio = std::chrono::steady_clock::now();
  jet::Arquivo jet(origem);
  const bool terminal = ::isatty(jet.Terminal()) && !o.Tem("--json");
  long total = 0;
  for (const jet::Tabela& t : jet.Tabelas()) total += t.linhas;

  gInterrompida = false;
  struct sigaction acao {
  }, anterior{};
  acao.sa_handler = AoInterromperImportacao;
  sigaction(SIGINT, &acao, &anterior);
  struct Restaura {
    struct sigaction* a;
    ~Restaura() { sigaction(SIGINT, a, nullptr); }
  } restaura{&anterior};

  std::vector<std::pair<std::string, long>> copiadas;
  try {
    Destino banco(destino);
    long feitas = 0;
    for (const jet::Tabela& t : jet.Tabelas()) {
      sqlite3_stmt* insere = banco.CriaTabela(t);
      long lidas = jet.Le(t, [&](const std::vector<jet::Valor>& valores) {
        if (gInterrompida) return false;
        banco.Insere(insere, t.nome, valores);
        if (terminal && ++feitas % 2000 == 0) Progresso(jet.Terminal(), t.nome, feitas, total);
        return true;
      });
      if (gInterrompida) throw Interrompida{};
      // libmdb can lose rows of a damaged file without a word: the file's own count must agree.
      if (lidas != t.linhas)
        throw Erro(kErroBancoBase + 11, "A tabela " + t.nome + " tem " + std::to_string(t.linhas) +
                                            " linhas no arquivo, mas só " + std::to_string(lidas) +
                                            " puderam ser lidas (arquivo danificado?)" + jet.Mensagens());
      copiadas.emplace_back(t.nome, lidas);
    }
    // A declaration file must have every table the rules read (a truncated file can lose some silently).
    auto tem = [&](const char* nome) {
      for (const auto& [t, n] : copiadas)
        if (QString::fromStdString(t).compare(QString::fromUtf8(nome), Qt::CaseInsensitive) == 0) return true;
      return false;
    };
    if (tem("tblDeclaração")) {
      std::string faltam;
      for (const char* t : host::kTabelasDasRegras)
        if (!tem(t)) faltam += (faltam.empty() ? "" : ", ") + std::string(t);
      if (!faltam.empty())
        throw Erro(kErroBancoBase + 11, "O arquivo " + origem + " é de declarações, mas não tem as tabelas " +
                                            faltam + " (arquivo truncado ou danificado?)");
    }
    for (const host::IndiceDoEsquema& i : host::kIndicesDoEsquema)
      if (tem(i.tabela)) banco.Executa(i.sql);
    banco.Conclui();
  } catch (const Interrompida&) {
    if (terminal) std::fputs("\n", stderr);
    std::fprintf(stderr, "kvconsistencia: importação interrompida; nada foi gravado em %s\n",
                 destino.c_str());
    return 130;
  } catch (const Erro& e) {
    if (terminal) std::fputs("\n", stderr);
    throw Erro(e.numero(), e.descricao() + " Nada foi gravado em " + destino + ".");
  }
  if (terminal) std::fputs("\r\033[K", stderr);

  double segundos = std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
  long linhas = 0;
  for (const auto& [t, n] : copiadas) linhas += n;
  if (o.Tem("--json")) {
    std::string r =
        "{\"origem\": " + JsonTexto(origem) + ", \"destino\": " + JsonTexto(destino) + ", \"tabelas\": [";
    for (size_t i = 0; i < copiadas.size(); ++i)
      r += (i ? ", " : "") + std::string("{\"nome\": ") + JsonTexto(copiadas[i].first) +
           ", \"linhas\": " + std::to_string(copiadas[i].second) + "}";
    r += "], \"linhas\": " + std::to_string(linhas) + "}";
    std::printf("%s\n", r.c_str());
  } else {
    for (const auto& [t, n] : copiadas) std::printf("  %-30s %8ld linhas\n", t.c_str(), n);
    std::printf("%zu tabelas, %ld linhas importadas de %s para %s em %.1f s\n", copiadas.size(), linhas,
                origem.c_str(), destino.c_str(), segundos);
  }
  return 0;
}

}  // namespace kv::cli
