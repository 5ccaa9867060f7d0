// The connection: its read snapshot, its transactions, and where a statement's text is adapted, its
// statement taken from the pool and its parameters bound.
#include "platform/db/conexao.h"

#include <sys/stat.h>

#include "platform/erro.h"

namespace kv {
namespace {

// A plain whole number of up to 18 digits, which cannot overflow: what a value slot binds.
bool Inteiro(std::string_view v, long long& n) {
  if (v.empty() || v.size() > 18) return false;
  n = 0;
  for (char c : v) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
  }
  return true;
}

}  // namespace

BancoSqlite::BancoSqlite(SqliteProprio db, std::string caminho, bool somenteLeitura)
    : db_(std::move(db)),
      caminho_(std::move(caminho)),
      somenteLeitura_(somenteLeitura),
      comandos_(db_.get()) {
  // The file this connection opened, told apart from one put in its place later: looked at once here,
  // not on every check (whoever hands out connections reopens a path whose file was replaced).
  struct stat st;
  if (::stat(caminho_.c_str(), &st) == 0)
    arquivo_ = std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

BancoSqlite::~BancoSqlite() {
  comandos_.Esvazia();
  sqlite3_finalize(versao_);
}

std::unique_ptr<Recordset> BancoSqlite::OpenRecordset(const std::string& sql, int tipo) {
  const bool dynaset = tipo == kDynaset;
  const SqlAdaptado& a =
      adaptados_.Obtem((dynaset ? "D" : "S") + sql, [&] { return AdaptaJet(sql, dynaset); });
  return Abre(a, {}, sql, tipo);
}

std::unique_ptr<Recordset> BancoSqlite::AbreModelo(const ModeloSql& m,
                                                   std::initializer_list<std::string_view> valores,
                                                   int tipo) {
  const bool dynaset = tipo == kDynaset;
  std::string texto = m.Texto(valores);  // what errors name
  // The key: the model, the recordset type and the spliced texts; the values are bound.
  std::string chave = "M" + std::to_string(m.id()) + (dynaset ? "D" : "S");
  std::vector<long long> numeros;
  const Vaga* vaga = m.vagas().data();
  for (std::string_view v : valores) {
    if (*vaga++ == Vaga::Texto) {
      chave += '\x1f';
      chave += v;
    } else if (long long n; Inteiro(v, n)) {
      numeros.push_back(n);
    } else {
      return OpenRecordset(texto, tipo);
    }
  }
  const SqlAdaptado& a =
      adaptados_.Obtem(chave, [&] { return AdaptaJet(m.TextoComMarcas(valores), dynaset, /*vagas=*/true); });
  return Abre(a, numeros, std::move(texto), tipo);
}

std::unique_ptr<Recordset> BancoSqlite::Abre(const SqlAdaptado& a, const std::vector<long long>& valores,
                                             std::string sql, int tipo) {
  PoolDeComandos::Emprestimo p = comandos_.Empresta(a.texto, sql);
  sqlite3_stmt* st = p->stmt();
  // A text with parameters of its own leaves them unbound (Null), as on a fresh statement.
  if (static_cast<size_t>(p->parametros()) != a.parametros.size()) sqlite3_clear_bindings(st);
  for (size_t i = 0; i < a.parametros.size(); ++i) {
    const int vaga = a.vagas.empty() ? -1 : a.vagas[i];
    sqlite3_bind_int64(st, static_cast<int>(i + 1),
                       vaga < 0 ? a.parametros[i] : valores.at(static_cast<size_t>(vaga)));
  }
  return std::make_unique<RecordsetSqlite>(shared_from_this(), std::move(p), std::move(sql), a.tabelaUnica,
                                           tipo);
}

// A write outside an explicit transaction ends the snapshot around itself.
struct BancoSqlite::Pausa {
  explicit Pausa(BancoSqlite& b) : b_(b), pausou_(b.lendo_) { b_.FechaLeitura(); }
  ~Pausa() {
    if (!pausou_) return;
    try {
      b_.AbreLeitura();
    } catch (const Erro&) {
      // the next read runs in autocommit instead
    }
  }
  BancoSqlite& b_;
  bool pausou_;
};

long BancoSqlite::Executa(const std::string& sql, const std::vector<Variant>& parametros) {
  Pausa pausa(*this);
  PoolDeComandos::Emprestimo p = comandos_.Empresta(sql, sql);
  sqlite3_clear_bindings(p->stmt());  // parameters not given are Null, whatever ran before
  for (size_t i = 0; i < parametros.size(); ++i) Liga(p->stmt(), static_cast<int>(i + 1), parametros[i]);
  const int rc = sqlite3_step(p->stmt());
  if (rc != SQLITE_DONE && rc != SQLITE_ROW) ErroSqlite(db_.get(), rc, sql);
  return static_cast<long>(sqlite3_changes(db_.get()));
}

void BancoSqlite::Exec(const char* sql) {
  int rc = sqlite3_exec(db_.get(), sql, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) ErroSqlite(db_.get(), rc, sql);
}

void BancoSqlite::Inicia() {
  FechaLeitura();
  Exec("BEGIN IMMEDIATE");
  escrevendo_ = true;
}

void BancoSqlite::Confirma() {
  Exec("COMMIT");
  escrevendo_ = false;
  AbreLeitura();
}

void BancoSqlite::Desfaz() {
  if (!sqlite3_get_autocommit(db_.get())) sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
  escrevendo_ = false;
  lendo_ = false;
  try {
    AbreLeitura();
  } catch (const Erro&) {
    // never throws: the next statement reads in autocommit
  }
}

void BancoSqlite::IniciaLeitura() {
  if (niveisLeitura_++ == 0) AbreLeitura();
}

void BancoSqlite::EncerraLeitura() {
  if (niveisLeitura_ > 0 && --niveisLeitura_ == 0) FechaLeitura();
}

// The snapshot's transaction: deferred, so the lock is taken by the first read.
void BancoSqlite::AbreLeitura() {
  if (niveisLeitura_ == 0 || lendo_ || escrevendo_ || !sqlite3_get_autocommit(db_.get())) return;
  Exec("BEGIN");
  lendo_ = true;
}

// Never throws (it runs in destructors): a read transaction that will not commit is rolled back, which
// for a read is the same.
void BancoSqlite::FechaLeitura() noexcept {
  if (!lendo_) return;
  lendo_ = false;
  if (!sqlite3_get_autocommit(db_.get()) &&
      sqlite3_exec(db_.get(), "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
    sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
}

std::string BancoSqlite::VersaoDosDados() {
  if (arquivo_.empty()) return "";
  long long versao = -1;
  if (!versao_) sqlite3_prepare_v2(db_.get(), "PRAGMA data_version", -1, &versao_, nullptr);
  if (versao_ && sqlite3_step(versao_) == SQLITE_ROW) versao = sqlite3_column_int64(versao_, 0);
  if (versao_) sqlite3_reset(versao_);
  // data_version moves for other connections' commits only; this connection's own writes (a host that
  // fixes a finding through the shared connection, then repaints) are counted beside it.
  return arquivo_ + ":" + std::to_string(versao) + ":" + std::to_string(sqlite3_total_changes64(db_.get()));
}

}  // namespace kv
