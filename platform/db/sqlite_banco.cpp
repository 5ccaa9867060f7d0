#include "platform/db/sqlite_banco.h"

#include <link.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QString>
#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <list>
#include <stdexcept>
#include <typeinfo>
#include <unordered_map>

#include "platform/db/colacao.h"
#include "platform/db/jetsql.h"
#include "platform/db/modelo.h"
#include "platform/erro.h"
#include "platform/texto.h"

namespace kv {
namespace {

// How a column's declared type turns stored values into Variants.
enum class Classe : uint8_t { Moeda, Longo, Inteiro, Logico, Duplo, Texto, Livre };

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

// Case folding for field names: ASCII and the accented Latin-1 letters the schema uses.
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

// SQLite's memory statistics take one global mutex on every allocation, which serialises a batch's
// workers. They are turned off when the library loads, before SQLite is initialised; a host that needs
// them sets KV_SQLITE_MEMSTATUS=1. (If the host initialised SQLite first, the call is refused: harmless.)
[[maybe_unused]] const bool gSemEstatisticaDeMemoria = [] {
  const char* v = std::getenv("KV_SQLITE_MEMSTATUS");
  if (!(v && std::string(v) == "1")) sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
  return true;
}();

// NOCASE as the schema means it: every letter compared without regard to case, accented ones included
// (accents themselves stay significant). ASCII, by far the common case, is compared here; the rest of a
// text from its first other character goes through Unicode case folding.
int ComparaSemCaixa(void*, int n1, const void* a, int n2, const void* b) {
  auto p = static_cast<const unsigned char*>(a), q = static_cast<const unsigned char*>(b);
  int i = 0;
  for (; i < n1 && i < n2; ++i) {
    unsigned char x = p[i], y = q[i];
    if (x == y) continue;  // equal bytes fold alike, whatever character they belong to
    if (x >= 0x80 || y >= 0x80) {
      // From the start of the character where they part, by Unicode case folding.
      while (i > 0 && ((p[i] & 0xC0) == 0x80 || (q[i] & 0xC0) == 0x80)) --i;
      QString r1 = QString::fromUtf8(reinterpret_cast<const char*>(p + i), n1 - i);
      QString r2 = QString::fromUtf8(reinterpret_cast<const char*>(q + i), n2 - i);
      int c = r1.compare(r2, Qt::CaseInsensitive);
      return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return x < y ? -1 : 1;
  }
  return n1 == n2 ? 0 : (n1 < n2 ? -1 : 1);
}

// Settings every connection of ours gets.
void PreparaConexao(sqlite3* db, int esperaMs) {
  sqlite3_busy_timeout(db, esperaMs);
  sqlite3_create_collation_v2(db, "NOCASE", SQLITE_UTF8, nullptr, ComparaSemCaixa, nullptr);
}

[[noreturn]] void ErroSqlite(sqlite3* db, int rc, const std::string& sql) {
  std::string msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  throw Erro(kErroBancoBase + (rc & 0xFF), Explicacao(rc) + msg + " (SQL: " + sql + ")");
}

// A stored value copied out of SQLite (dynaset rows are read at once, see RecordsetSqlite).
struct Bruto {
  int tipo = SQLITE_NULL;
  long long i = 0;
  double d = 0;
  std::string t;
};

// Fills `b` from the current row, reusing its text buffer. The column's value is fetched once and read
// with the value functions: each column function would look the column up again. (The value is only
// used here, on the connection's one thread, as the column functions themselves would use it.)
void LeBrutoEm(sqlite3_value* v, Bruto& b) {
  b.tipo = sqlite3_value_type(v);
  if (b.tipo == SQLITE_INTEGER) b.i = sqlite3_value_int64(v);
  if (b.tipo == SQLITE_FLOAT) b.d = sqlite3_value_double(v);
  if (b.tipo == SQLITE_TEXT || b.tipo == SQLITE_BLOB) {
    const void* p =
        b.tipo == SQLITE_TEXT ? static_cast<const void*>(sqlite3_value_text(v)) : sqlite3_value_blob(v);
    b.t.assign(static_cast<const char*>(p), static_cast<size_t>(sqlite3_value_bytes(v)));
  }
}

Bruto LeBruto(sqlite3_stmt* st, int col) {
  Bruto b;
  LeBrutoEm(sqlite3_column_value(st, col), b);
  return b;
}

struct Coluna {
  std::string nome, dobrado;
  Classe classe;
  std::string tabela;  // the table the column comes from, where SQLite knows it
};

Variant Converte(const Bruto& lido, Classe c);

// Where a name was found: 16 bytes, so that a field read touches one small entry and nothing else of the
// column (SQLite allows at most 32,767 columns).
struct Achado {
  const char* nome = nullptr;
  uint32_t tamanho = 0;
  uint16_t indice = 0;
  bool imutavel = false;  // the name's text cannot change (see Imutavel): no compare when found again
  Classe classe = Classe::Livre;
};

// A prepared statement with what its columns look like; reused while not in use.
struct Preparado {
  // What every field read looks at comes first, side by side: it runs between SQLite's steps, which
  // leave little of our data in the cache.
  sqlite3_stmt* stmt = nullptr;
  size_t nAchados = 0;
  // Where the next search starts: the entry that followed the last one found, the last time it was
  // found (rules that share a statement each read their fields in their own order).
  size_t dica = 0, anterior = SIZE_MAX;
  std::array<uint8_t, 24> seguinte = [] {
    std::array<uint8_t, 24> s;
    s.fill(UINT8_MAX);
    return s;
  }();
  bool emUso = false;
  // Where the names the rules ask for were found, by the name's address: the rules pass string literals,
  // so the same pointer comes back on every row and a short scan finds it (a few names per statement; a
  // table indexed by address would let two names that collide evict each other on every row).
  std::array<Achado, 24> achados{};
  std::vector<Coluna> colunas;
  int colRowid = -1;
  int parametros = 0;  // how many the text takes
  std::string tabela;
  std::string jet;     // the text of the recordset stepping it, for its errors (the buffer is reused)
  int repreparos = 0;  // how often SQLite had prepared it again when its columns were last read
  ~Preparado() { sqlite3_finalize(stmt); }

  // Reads what the columns look like, forgetting where names were found.
  void Descreve() {
    colunas.clear();
    colRowid = -1;
    nAchados = dica = 0;
    anterior = SIZE_MAX;
    seguinte.fill(UINT8_MAX);
    int n = sqlite3_column_count(stmt);
    for (int i = 0; i < n; ++i) {
      const char* nome = sqlite3_column_name(stmt, i);
      const char* tab = sqlite3_column_table_name(stmt, i);
      Coluna c{nome ? nome : "", Dobra(nome ? nome : ""), ClassePorTipo(sqlite3_column_decltype(stmt, i)),
               tab ? tab : ""};
      if (c.nome == "kv_rowid__") colRowid = i;
      colunas.push_back(std::move(c));
    }
  }

  // SQLite prepares a statement again, on its first step, when the schema changed under it (a host
  // altering a table while this connection keeps the statement): its columns may have moved.
  void ConfereColunas() {
    int vezes = sqlite3_stmt_status(stmt, SQLITE_STMTSTATUS_REPREPARE, 0);
    if (vezes == repreparos) [[likely]]
      return;
    repreparos = vezes;
    Descreve();
  }
};

// A Jet text's shape, adapted once: SQLite text, and where each source literal goes.
struct Forma {
  SqlAdaptado sql;
  std::vector<int> origem;  // parameter i takes source literal origem[i], or -1 for sql.parametros[i]
  // Its prepared statements, found once: valid while the cache's generation is the one recorded.
  mutable std::list<std::shared_ptr<Preparado>>* preparados = nullptr;
  mutable long geracao = -1;
};

class BancoSqlite;

// Debug builds check every shape a model shares against its text read again.
#ifdef NDEBUG
constexpr bool kConfereModelos = false;
#else
constexpr bool kConfereModelos = true;
#endif

class RecordsetSqlite : public Recordset {
 public:
  RecordsetSqlite(std::shared_ptr<BancoSqlite> banco, std::shared_ptr<Preparado> p, const std::string& sql,
                  int tipo);
  ~RecordsetSqlite() override { Close(); }
  long RecordCount() override { return linhas_; }
  bool Eof() override { return eof_; }
  void MoveNext() override;
  Variant Campo(std::string_view nome) override;
  void Edit() override;
  void DefineCampo(std::string_view nome, const Variant& valor) override;
  void Update() override;
  void Close() override;

 private:
  // The column's position; its class too, when asked.
  [[gnu::always_inline]] inline int Indice(std::string_view nome, Classe* classe = nullptr) const;
  [[gnu::noinline]] int Procura(std::string_view nome, Classe* classe) const;
  [[gnu::noinline]] Variant ConverteAqui(int i, const Bruto& lido) const;
  [[gnu::noinline]] Variant CampoLido(std::string_view nome);
  std::string Onde(int i, const Bruto& lido) const;
  const std::string& Sql() const { return p_->jet; }
  void Passo();
  void Materializa();
  std::shared_ptr<BancoSqlite> banco_;
  std::shared_ptr<Preparado> p_;
  int tipo_;
  bool eof_ = true;
  long linhas_ = 0;
  bool editando_ = false;
  long long rowidEdicao_ = 0;
  // A dynaset is read whole when opened, so no read transaction is held while Update writes: two
  // connections upgrading their read locks at once would otherwise deadlock.
  bool materializado_ = false;
  std::vector<std::vector<Bruto>> linhasLidas_;
  size_t posicao_ = 0;
  std::vector<std::pair<int, Variant>> pendentes_;
  Bruto lido_;  // the field last read from a stepping statement; its buffer is reused
};

class BancoSqlite : public Database, public std::enable_shared_from_this<BancoSqlite> {
 public:
  BancoSqlite(sqlite3* db, std::string caminho, bool somenteLeitura)
      : db_(db), caminho_(std::move(caminho)), somenteLeitura_(somenteLeitura) {
    // The file this connection opened, told apart from one put in its place later: looked at once here,
    // not on every check (whoever hands out connections reopens a path whose file was replaced).
    struct stat st;
    if (::stat(caminho_.c_str(), &st) == 0)
      arquivo_ = std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
  }
  ~BancoSqlite() override {
    cache_.clear();
    sqlite3_finalize(versao_);
    sqlite3_close_v2(db_);
  }

  std::unique_ptr<Recordset> OpenRecordset(const std::string& sql, int tipo) override {
    return Abre(FormaDe(sql, tipo == kDynaset, numeros_), sql, tipo);
  }

  // The model's text with these values, its shape found again only when the values call for it.
  std::unique_ptr<Recordset> AbreModelo(const ModeloSql& m, std::initializer_list<std::string_view> valores,
                                        int tipo) {
    m.Texto(valores, texto_);  // kept for the recordset's errors
    if (m.id() >= modelos_.size()) modelos_.resize(m.id() + 1);
    FormasDoModelo& conhecidas = modelos_[m.id()];
    // A rule that runs a model with several texts runs them in the same order each time: the search
    // starts after the one that served last.
    const size_t n = conhecidas.formas.size();
    for (size_t k = 0, j = conhecidas.proxima; k < n; ++k, j = j + 1 == n ? 0 : j + 1) {
      const FormaModelo& c = conhecidas.formas[j];
      if (!Serve(c, valores, tipo)) continue;
      conhecidas.proxima = j + 1 == n ? 0 : j + 1;
      numeros_.assign(c.numeros.begin(), c.numeros.end());
      const int* lugar = c.lugar.data();
      for (std::string_view v : valores) {
        if (*lugar >= 0) numeros_[static_cast<size_t>(*lugar)] = Inteiro(v);
        ++lugar;
      }
      if (kConfereModelos) ConfereForma(*c.forma, tipo);
      return Abre(*c.forma, texto_, tipo);
    }
    const Forma& f = FormaDe(texto_, tipo == kDynaset, numeros_, &literais_);
    if (&f != &avulsa_) Lembra(conhecidas, m, valores, f, tipo);
    return Abre(f, texto_, tipo);
  }

  long Executa(const std::string& sql, const std::vector<Variant>& parametros) override {
    Pausa pausa(*this);
    std::shared_ptr<Preparado> p = Prepara(sql, sql);
    sqlite3_clear_bindings(p->stmt);  // parameters not given are Null, whatever the statement ran with before
    for (size_t i = 0; i < parametros.size(); ++i) Liga(p->stmt, static_cast<int>(i + 1), parametros[i]);
    int rc = sqlite3_step(p->stmt);
    long mudadas = sqlite3_changes(db_);
    sqlite3_reset(p->stmt);
    p->emUso = false;
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) ErroSqlite(db_, rc, sql);
    return mudadas;
  }

  void Inicia() override {
    FechaLeitura();
    Exec("BEGIN IMMEDIATE");
    escrevendo_ = true;
  }
  void Confirma() override {
    Exec("COMMIT");
    escrevendo_ = false;
    AbreLeitura();
  }
  void Desfaz() override {
    if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    escrevendo_ = false;
    lendo_ = false;
    try {
      AbreLeitura();
    } catch (const Erro&) {
      // never throws: the next statement reads in autocommit
    }
  }
  std::string Caminho() const override { return caminho_; }

  void IniciaLeitura() override {
    if (niveisLeitura_++ == 0) AbreLeitura();
  }
  void EncerraLeitura() override {
    if (niveisLeitura_ > 0 && --niveisLeitura_ == 0) FechaLeitura();
  }
  bool EmLeitura() const override { return niveisLeitura_ > 0; }
  std::string VersaoDosDados() override {
    if (arquivo_.empty()) return "";
    long long versao = -1;
    if (!versao_) sqlite3_prepare_v2(db_, "PRAGMA data_version", -1, &versao_, nullptr);
    if (versao_ && sqlite3_step(versao_) == SQLITE_ROW) versao = sqlite3_column_int64(versao_, 0);
    if (versao_) sqlite3_reset(versao_);
    // data_version moves for other connections' commits only; this connection's own writes (a host that
    // fixes a finding through the shared connection, then repaints) are counted beside it.
    return arquivo_ + ":" + std::to_string(versao) + ":" + std::to_string(sqlite3_total_changes64(db_));
  }
  bool SomenteLeitura() const override { return somenteLeitura_; }

  static void Liga(sqlite3_stmt* st, int i, const Variant& v) {
    switch (v.tipo()) {
      case Variant::Tipo::Null:
      case Variant::Tipo::Empty:
        sqlite3_bind_null(st, i);
        break;
      case Variant::Tipo::Currency: {
        LigaMoeda(st, i, v.AsCurrency());
        break;
      }
      case Variant::Tipo::Double:
        sqlite3_bind_double(st, i, v.AsDouble());
        break;
      case Variant::Tipo::String:
        sqlite3_bind_text(st, i, v.AsString().c_str(), static_cast<int>(v.AsString().size()),
                          SQLITE_TRANSIENT);
        break;
      case Variant::Tipo::Boolean:
        sqlite3_bind_int64(st, i, v.AsBool() ? 1 : 0);
        break;
      default:
        sqlite3_bind_int64(st, i, v.AsInt());
    }
  }

  sqlite3* db() const { return db_; }
  EstatisticaBanco estatistica;

 private:
  // The snapshot's transaction: deferred, so the lock is taken by the first read.
  void AbreLeitura() {
    if (niveisLeitura_ == 0 || lendo_ || escrevendo_ || !sqlite3_get_autocommit(db_)) return;
    Exec("BEGIN");
    lendo_ = true;
  }
  // Never throws (it runs in destructors): a read transaction that will not commit is rolled back, which
  // for a read is the same.
  void FechaLeitura() noexcept {
    if (!lendo_) return;
    lendo_ = false;
    if (!sqlite3_get_autocommit(db_) && sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  // A write outside an explicit transaction ends the snapshot around itself.
  struct Pausa {
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

  void Exec(const char* sql) {
    int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) ErroSqlite(db_, rc, sql);
  }

  // A recordset on `sql`, whose shape is `f` and whose literals are numeros_.
  std::unique_ptr<Recordset> Abre(const Forma& f, const std::string& sql, int tipo) {
    std::shared_ptr<Preparado> p = PreparaForma(f, sql);
    p->tabela = f.sql.tabelaUnica;
    // Every parameter is bound anew here, so nothing is cleared when a recordset closes; a text with
    // parameters of its own leaves them unbound (Null), as they would be on a fresh statement.
    if (static_cast<size_t>(p->parametros) != f.origem.size()) sqlite3_clear_bindings(p->stmt);
    for (size_t i = 0; i < f.origem.size(); ++i) {
      long long v = f.origem[i] >= 0 ? numeros_[static_cast<size_t>(f.origem[i])] : f.sql.parametros[i];
      sqlite3_bind_int64(p->stmt, static_cast<int>(i + 1), v);
    }
    return std::make_unique<RecordsetSqlite>(shared_from_this(), std::move(p), sql, tipo);
  }

  // A model's shape as found for the values of one call. A later call shares it when its values are the
  // same where they are text, and plain whole numbers where they were literals: the shape does not
  // depend on a literal's digits, only on where it lies.
  struct FormaModelo {
    int tipo = 0;
    long geracao = -1;  // formas_ was cleared since, when it differs
    const Forma* forma = nullptr;
    std::vector<int> lugar;           // per value: the literal it is, or -1 when its text is in the shape
    std::vector<std::string> textos;  // per value: its text, where lugar is -1
    std::vector<long long> numeros;   // the text's literals; each value's own is filled in per call
  };
  struct FormasDoModelo {
    std::vector<FormaModelo> formas;
    size_t proxima = 0;  // where the next search starts
  };

  // Up to 18 digits: a literal the shape lifts, which cannot overflow.
  static bool Digitos(std::string_view v) {
    if (v.empty() || v.size() > 18) return false;
    for (char c : v)
      if (c < '0' || c > '9') return false;
    return true;
  }
  static long long Inteiro(std::string_view v) {
    long long r = 0;
    for (char c : v) r = r * 10 + (c - '0');
    return r;
  }

  bool Serve(const FormaModelo& c, std::initializer_list<std::string_view> valores, int tipo) const {
    if (c.tipo != tipo || c.geracao != geracaoFormas_) return false;
    size_t i = 0;
    for (std::string_view v : valores) {
      if (c.lugar[i] >= 0 ? !Digitos(v) : v != c.textos[i]) return false;
      ++i;
    }
    return true;
  }

  // Remembers the shape just found for `m`, when each whole-number value is exactly one of its literals
  // (a number run into a neighbouring digit or inside quotes is not, and is read from the text each time).
  void Lembra(FormasDoModelo& conhecidas, const ModeloSql& m, std::initializer_list<std::string_view> valores,
              const Forma& f, int tipo) {
    FormaModelo c{tipo, geracaoFormas_, &f, {}, {}, numeros_};
    size_t pos = m.fixos()[0].size(), i = 0;
    for (std::string_view v : valores) {
      int lugar = -1;
      if (Digitos(v)) {
        auto it = std::find(literais_.begin(), literais_.end(), std::make_pair(pos, pos + v.size()));
        if (it == literais_.end()) return;
        lugar = static_cast<int>(it - literais_.begin());
      }
      c.lugar.push_back(lugar);
      c.textos.emplace_back(lugar < 0 ? v : std::string_view());
      pos += v.size() + m.fixos()[++i].size();
    }
    auto& formas = conhecidas.formas;
    if (formas.size() >= 16) formas.erase(formas.begin());  // a model's text values are few
    formas.push_back(std::move(c));
    conhecidas.proxima = 0;
  }

  // The text read again gives the shape shared for it, and the same literals.
  void ConfereForma(const Forma& f, int tipo) {
    std::vector<long long> lidos;
    if (&FormaDe(texto_, tipo == kDynaset, lidos) != &f || lidos != numeros_)
      throw std::logic_error("forma de modelo diferente da do texto: " + texto_);
  }

  const Forma& FormaDe(const std::string& jet, bool dynaset, std::vector<long long>& numeros,
                       std::vector<std::pair<size_t, size_t>>* literais = nullptr) {
    // A text that cannot share a shape (a literal too large to lift, or one left in place such as a
    // column position) is adapted on its own, uncached.
    auto avulsa = [&]() -> const Forma& {
      numeros.clear();
      avulsa_ = Forma{AdaptaJet(jet, dynaset), {}};
      avulsa_.origem.assign(avulsa_.sql.parametros.size(), -1);
      return avulsa_;
    };
    std::string& chave = chave_;  // reused: no allocation per statement
    if (!FormaJet(jet, chave, numeros, literais)) return avulsa();
    chave += dynaset ? '\x02' : '\x03';
    auto it = formas_.find(chave);
    if (it != formas_.end()) return it->second;
    if (formas_.size() > 512) {
      formas_.clear();
      ++geracaoFormas_;
    }
    Forma f{AdaptaJet(std::string_view(chave).substr(0, chave.size() - 1), dynaset), {}};
    for (long long v : f.sql.parametros) {
      long long k = v - MarcadorJet(0);
      f.origem.push_back(k >= 0 && static_cast<size_t>(k) < numeros.size() ? static_cast<int>(k) : -1);
    }
    if (f.sql.texto.find(std::to_string(MarcadorJet(0)).substr(0, 6)) != std::string::npos) return avulsa();
    return formas_.emplace(chave, std::move(f)).first->second;
  }

  // The shape's statements without hashing its text again, where the shape already knows them.
  std::shared_ptr<Preparado> PreparaForma(const Forma& f, const std::string& jet) {
    if (f.preparados && f.geracao == geracaoCache_)
      for (auto& p : *f.preparados)
        if (!p->emUso) {
          p->emUso = true;
          ++estatistica.reutilizados;
          return p;
        }
    std::shared_ptr<Preparado> p = Prepara(f.sql.texto, jet);
    auto it = cache_.find(f.sql.texto);
    f.preparados = it == cache_.end() ? nullptr : &it->second;
    f.geracao = geracaoCache_;
    return p;
  }

  std::shared_ptr<Preparado> Prepara(const std::string& texto, const std::string& jet) {
    auto& lista = cache_[texto];
    for (auto& p : lista) {
      if (!p->emUso) {
        p->emUso = true;
        ++estatistica.reutilizados;
        return p;
      }
    }
    if (cache_.size() > 256) Poda(texto);
    auto p = std::make_shared<Preparado>();
    int rc = sqlite3_prepare_v2(db_, texto.c_str(), static_cast<int>(texto.size()), &p->stmt, nullptr);
    if (rc != SQLITE_OK) {
      if (lista.empty()) {
        cache_.erase(texto);
        ++geracaoCache_;
      }
      ErroSqlite(db_, rc, jet);
    }
    if (!p->stmt) {  // only blanks or comments: SQLite prepares nothing, and nothing may run
      cache_.erase(texto);
      ++geracaoCache_;
      throw Erro(3129, "Instrução SQL vazia (SQL: " + jet + ")");
    }
    ++estatistica.preparados;
    p->parametros = sqlite3_bind_parameter_count(p->stmt);
    p->Descreve();
    p->emUso = true;
    auto& l = cache_[texto];
    if (l.size() < 4) l.push_back(p);
    return p;
  }

  // Drops idle statements so that the cache stays bounded.
  void Poda(const std::string& manter) {
    ++geracaoCache_;
    for (auto it = cache_.begin(); it != cache_.end();) {
      auto& l = it->second;
      l.remove_if([](const std::shared_ptr<Preparado>& p) { return !p->emUso; });
      if (l.empty() && it->first != manter)
        it = cache_.erase(it);
      else
        ++it;
    }
  }

  sqlite3* db_;
  std::string caminho_;
  std::string arquivo_;  // device and inode of the file opened
  std::unordered_map<std::string, std::list<std::shared_ptr<Preparado>>> cache_;
  std::unordered_map<std::string, Forma> formas_;
  Forma avulsa_;
  std::string chave_;
  std::vector<long long> numeros_;
  std::string texto_;                                // a model's text, built in place
  std::vector<std::pair<size_t, size_t>> literais_;  // where the text's literals lie
  std::vector<FormasDoModelo> modelos_;              // by model id
  long geracaoFormas_ = 0;                           // bumped whenever formas_ is cleared
  sqlite3_stmt* versao_ = nullptr;                   // PRAGMA data_version, prepared once
  bool somenteLeitura_;                              // opened for reading only on purpose
  long geracaoCache_ = 0;                            // bumped whenever cache_ loses entries
  int niveisLeitura_ = 0;
  bool lendo_ = false;       // our snapshot transaction is open
  bool escrevendo_ = false;  // between Inicia and Confirma/Desfaz
  friend class RecordsetSqlite;
};

RecordsetSqlite::RecordsetSqlite(std::shared_ptr<BancoSqlite> banco, std::shared_ptr<Preparado> p,
                                 const std::string& sql, int tipo)
    : banco_(std::move(banco)), p_(std::move(p)), tipo_(tipo) {
  p_->jet.assign(sql);
  try {
    if (tipo_ == kDynaset) {
      Materializa();
    } else {
      Passo();
      p_->ConfereColunas();
    }
  } catch (...) {
    Close();
    throw;
  }
}

void RecordsetSqlite::Materializa() {
  size_t n = 0;
  for (;;) {
    int rc = sqlite3_step(p_->stmt);
    if (!n) {
      p_->ConfereColunas();
      n = p_->colunas.size();
    }
    if (rc == SQLITE_DONE) break;
    if (rc != SQLITE_ROW) ErroSqlite(banco_->db(), rc, Sql());
    std::vector<Bruto> linha;
    linha.reserve(n);
    for (size_t c = 0; c < n; ++c) linha.push_back(LeBruto(p_->stmt, static_cast<int>(c)));
    linhasLidas_.push_back(std::move(linha));
  }
  // The statement stays ours until closed, though reset: no read transaction is held while Update
  // writes, and no one else's step can read its columns anew under the rows copied here.
  sqlite3_reset(p_->stmt);
  materializado_ = true;
  eof_ = linhasLidas_.empty();
  linhas_ = eof_ ? 0 : 1;
}

void RecordsetSqlite::Passo() {
  int rc = sqlite3_step(p_->stmt);
  if (rc == SQLITE_ROW) {
    eof_ = false;
    ++linhas_;
  } else if (rc == SQLITE_DONE) {
    eof_ = true;
  } else {
    eof_ = true;
    ErroSqlite(banco_->db(), rc, Sql());
  }
}

void RecordsetSqlite::MoveNext() {
  if (!p_ || eof_) throw Erro(3021, "Nenhum registro atual.");
  editando_ = false;
  if (!materializado_) return Passo();
  eof_ = ++posicao_ >= linhasLidas_.size();
  if (!eof_) ++linhas_;
}

// Whether `n` bytes at `a` and `b` are equal; field names are short, and from 4 to 16 bytes this takes
// two overlapping word compares instead of a library call.
bool MesmosBytes(const char* a, const char* b, size_t n) {
  auto palavra = [](const char* p) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
  };
  auto meia = [](const char* p) {
    uint32_t w;
    std::memcpy(&w, p, 4);
    return w;
  };
  if (n >= 8 && n <= 16) return palavra(a) == palavra(b) && palavra(a + n - 8) == palavra(b + n - 8);
  if (n >= 4 && n < 8) return meia(a) == meia(b) && meia(a + n - 4) == meia(b + n - 4);
  return std::memcmp(a, b, n) == 0;
}

// Whether `p` lies in the read-only segment of the object this code belongs to, where the rules' field
// names are: text there cannot change while the object is loaded, so a name found once at such an
// address needs no second compare.
bool Imutavel(const char* p) {
  struct Faixa {
    uintptr_t ini = 0, fim = 0;
  };
  static const Faixa faixa = [] {
    static const char marca[] = "kv";
    std::pair<uintptr_t, Faixa> busca{reinterpret_cast<uintptr_t>(marca), {}};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* dados) {
          auto* b = static_cast<std::pair<uintptr_t, Faixa>*>(dados);
          for (int i = 0; i < info->dlpi_phnum; ++i) {
            const ElfW(Phdr)& ph = info->dlpi_phdr[i];
            uintptr_t ini = info->dlpi_addr + ph.p_vaddr, fim = ini + ph.p_memsz;
            if (ph.p_type == PT_LOAD && !(ph.p_flags & PF_W) && b->first >= ini && b->first < fim) {
              b->second = {ini, fim};
              return 1;
            }
          }
          return 0;
        },
        &busca);
    return busca.second;
  }();
  auto x = reinterpret_cast<uintptr_t>(p);
  return x >= faixa.ini && x < faixa.fim;
}

inline int RecordsetSqlite::Indice(std::string_view nome, Classe* classe) const {
  Preparado& p = *p_;
  // A row's fields are read in the same order on every row, so the search starts where the next one was.
  const size_t n = std::min(p.nAchados, p.achados.size());
  for (size_t k = 0, j = p.dica; k < n; ++k, j = j + 1 == n ? 0 : j + 1) {
    const Achado& a = p.achados[j];
    if (a.nome != nome.data() || a.tamanho != nome.size()) continue;
    if (!a.imutavel &&
        !MesmosBytes(p.colunas[static_cast<size_t>(a.indice)].nome.data(), nome.data(), nome.size()))
      break;
    if (p.anterior < n) p.seguinte[p.anterior] = static_cast<uint8_t>(j);
    p.anterior = j;
    p.dica = p.seguinte[j] < n ? p.seguinte[j] : (j + 1 == n ? 0 : j + 1);
    if (classe) *classe = a.classe;
    return a.indice;
  }
  return Procura(nome, classe);
}

// Out of line, so that the found case above stays a few instructions.
int RecordsetSqlite::Procura(std::string_view nome, Classe* classe) const {
  const auto& cols = p_->colunas;
  size_t i = 0;
  while (i < cols.size() && cols[i].nome != nome) ++i;
  const bool exato = i < cols.size();
  if (!exato) {  // a name in another case finds its column too
    std::string d = Dobra(nome);
    i = 0;
    while (i < cols.size() && cols[i].dobrado != d) ++i;
    if (i == cols.size())
      throw Erro(kErroItemNaoEncontrado, "Item não encontrado nesta coleção: " + std::string(nome));
  }
  // Remembered, unless too long to be a rule's name; a name in another case only when its text cannot
  // change, since the found case compares it with the column's own.
  const bool imutavel = Imutavel(nome.data());
  if (nome.size() <= UINT32_MAX && (exato || imutavel)) {
    Achado novo{nome.data(), static_cast<uint32_t>(nome.size()), static_cast<uint16_t>(i), imutavel,
                cols[i].classe};
    // The same address with other text (a reused buffer) takes its old place; past the end, the oldest.
    auto fim = p_->achados.begin() + static_cast<long>(std::min(p_->nAchados, p_->achados.size()));
    auto velho = std::find_if(p_->achados.begin(), fim, [&](const Achado& a) { return a.nome == novo.nome; });
    *(velho != fim ? velho : p_->achados.begin() + static_cast<long>(p_->nAchados++ % p_->achados.size())) =
        novo;
  }
  if (classe) *classe = cols[i].classe;
  return static_cast<int>(i);
}

Variant RecordsetSqlite::Campo(std::string_view nome) {
  if (eof_ || materializado_) [[unlikely]]
    return CampoLido(nome);  // closed (eof_ is set then too), past the end, or a dynaset's copied rows
  Classe classe;
  int i = Indice(nome, &classe);
  // Most fields a check reads are amounts stored as whole units, read straight from the statement: those
  // need neither a copy nor the general conversion.
  sqlite3_value* v = sqlite3_column_value(p_->stmt, i);
  long long u;
  if (sqlite3_value_type(v) == SQLITE_INTEGER && classe == Classe::Moeda &&
      !__builtin_mul_overflow(sqlite3_value_int64(v), 10000LL, &u))
    return Variant::Cur(Currency{u});
  LeBrutoEm(v, lido_);
  return ConverteAqui(i, lido_);
}

Variant RecordsetSqlite::CampoLido(std::string_view nome) {
  if (!p_) throw Erro(3420, "O objeto é inválido ou não está mais definido.");
  int i = Indice(nome);
  if (eof_) throw Erro(3021, "Nenhum registro atual.");
  return ConverteAqui(i, linhasLidas_[posicao_][static_cast<size_t>(i)]);
}

Variant RecordsetSqlite::ConverteAqui(int i, const Bruto& lido) const {
  try {
    return Converte(lido, p_->colunas[static_cast<size_t>(i)].classe);
  } catch (const Erro& e) {
    // Say where: a bad stored value is the host's data to correct.
    throw Erro(e.numero(), e.descricao() + ": " + Onde(i, lido));
  }
}

std::string RecordsetSqlite::Onde(int i, const Bruto& lido) const {
  const Coluna& c = p_->colunas[static_cast<size_t>(i)];
  std::string r = "campo " + c.nome;
  if (!c.tabela.empty()) r += " da tabela " + c.tabela;
  r += " com o valor \"" +
       (lido.tipo == SQLITE_FLOAT     ? std::to_string(lido.d)
        : lido.tipo == SQLITE_INTEGER ? std::to_string(lido.i)
                                      : Esquerda(lido.t, 60)) +
       "\"";
  // The row, by the fields that tell a declaration's rows apart, when the query selected them.
  for (const char* chave : {"Declaração", "Ref"}) {
    std::string d = Dobra(chave);
    for (size_t k = 0; k < p_->colunas.size(); ++k) {
      if (p_->colunas[k].dobrado != d || static_cast<int>(k) == i) continue;
      Bruto b = materializado_ ? linhasLidas_[posicao_][k] : LeBruto(p_->stmt, static_cast<int>(k));
      if (b.tipo == SQLITE_INTEGER) r += std::string(", ") + chave + " " + std::to_string(b.i);
      if (b.tipo == SQLITE_TEXT) r += std::string(", ") + chave + " " + b.t;
      break;
    }
  }
  return r + " (SQL: " + Sql() + ")";
}

Variant Converte(const Bruto& lido, Classe c) {
  if (lido.tipo == SQLITE_NULL) return Variant::Nulo();
  if (lido.tipo == SQLITE_FLOAT && c == Classe::Moeda) return Variant::Cur(CurrencyDeDouble(lido.d));
  Variant bruto;
  if (lido.tipo == SQLITE_INTEGER) {
    long long v = lido.i;
    if (c == Classe::Moeda) {
      long long u;
      if (__builtin_mul_overflow(v, 10000LL, &u)) ErroEstouro();
      return Variant::Cur(Currency{u});
    }
    bruto = (v >= INT32_MIN && v <= INT32_MAX) ? Variant::Long(static_cast<int32_t>(v))
                                               : Variant::Dbl(static_cast<double>(v));
  } else if (lido.tipo == SQLITE_FLOAT) {
    bruto = Variant::Dbl(lido.d);
  } else if (lido.tipo == SQLITE_TEXT) {
    bruto = Variant::Str(lido.t);
  } else {
    if (c == Classe::Texto || c == Classe::Livre) return Variant::Str(lido.t);
    if (c == Classe::Moeda)
      return Variant::Cur(CCur(Variant::Str(lido.t)));  // an exact amount, see LigaMoeda
    ErroTipos();
  }
  switch (c) {
    case Classe::Moeda:
      return Variant::Cur(CCur(bruto));
    case Classe::Longo:
      if (bruto.tipo() == Variant::Tipo::Long) return bruto;
      {
        double d = CDbl(bruto);
        if (d == static_cast<double>(static_cast<long long>(d)) && d >= INT32_MIN && d <= INT32_MAX)
          return Variant::Long(static_cast<int32_t>(d));
        return Variant::Dbl(d);
      }
    case Classe::Inteiro:
      return Variant::Int(CInt(bruto));
    case Classe::Logico:
      return Variant::Bool(CDbl(bruto) != 0);
    case Classe::Duplo:
      return Variant::Dbl(CDbl(bruto));
    case Classe::Texto:
      return bruto.IsString() ? bruto : Variant::Str(CStr(bruto));
    case Classe::Livre:
      return bruto;
  }
  return bruto;
}

void RecordsetSqlite::Edit() {
  if (!p_ || eof_) throw Erro(3021, "Nenhum registro atual.");
  if (tipo_ != kDynaset || p_->colRowid < 0 || p_->tabela.empty())
    throw Erro(3027,
               "Não é possível atualizar. Banco de dados ou objeto é somente leitura. (SQL: " + Sql() + ")");
  rowidEdicao_ = materializado_ ? linhasLidas_[posicao_][static_cast<size_t>(p_->colRowid)].i
                                : sqlite3_column_int64(p_->stmt, p_->colRowid);
  pendentes_.clear();
  editando_ = true;
}

void RecordsetSqlite::DefineCampo(std::string_view nome, const Variant& valor) {
  if (!editando_) throw Erro(3020, "Update ou CancelUpdate sem AddNew ou Edit.");
  pendentes_.emplace_back(Indice(nome), valor);
}

void RecordsetSqlite::Update() {
  if (!editando_) throw Erro(3020, "Update ou CancelUpdate sem AddNew ou Edit.");
  editando_ = false;
  if (pendentes_.empty()) return;
  std::string sql = "UPDATE \"" + p_->tabela + "\" SET ";
  std::vector<Variant> valores;
  for (size_t i = 0; i < pendentes_.size(); ++i) {
    sql += (i ? ", \"" : "\"") + p_->colunas[static_cast<size_t>(pendentes_[i].first)].nome + "\" = ?";
    valores.push_back(pendentes_[i].second);
  }
  sql += " WHERE rowid = ?";
  valores.push_back(Variant::Dbl(static_cast<double>(rowidEdicao_)));
  pendentes_.clear();
  banco_->Executa(sql, valores);
}

void RecordsetSqlite::Close() {
  if (!p_) return;
  if (!materializado_) sqlite3_reset(p_->stmt);
  p_->emUso = false;
  p_.reset();
  eof_ = true;
}

bool ArquivoExiste(const std::string& caminho) {
  struct stat st;
  return !caminho.empty() && ::stat(caminho.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

void PreparaConexaoSqlite(sqlite3* db) {
  PreparaConexao(db, 5000);
}

void LigaMoeda(sqlite3_stmt* st, int i, Currency c) {
  if (c.dezmilesimos % 10000 == 0) {
    sqlite3_bind_int64(st, i, c.dezmilesimos / 10000);
  } else if (CurrencyCabeEmDouble(c)) {
    sqlite3_bind_double(st, i, c.ToDouble());
  } else {
    // Beyond a Double's digits (amounts of hundreds of billions): the decimal text as a BLOB, which the
    // column's numeric affinity leaves alone (a TEXT would become a REAL and lose the last digits).
    std::string t = CurrencyTexto(c);
    sqlite3_bind_blob(st, i, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
  }
}

std::shared_ptr<Database> AbreSqlite(const std::string& caminho, int esperaMs, bool somenteLeitura) {
  if (!ArquivoExiste(caminho)) return nullptr;
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(
      caminho.c_str(), &db,
      (somenteLeitura ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_close_v2(db);
    return nullptr;
  }
  PreparaConexao(db, esperaMs);
  // Reading the schema tells a database from any other file (SQLITE_NOTADB) before a rule runs.
  rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
  if (rc == SQLITE_NOTADB || rc == SQLITE_CORRUPT) {
    sqlite3_close_v2(db);
    return nullptr;
  }
  if (rc != SQLITE_OK) {
    std::string msg = sqlite3_errmsg(db);
    sqlite3_close_v2(db);
    throw Erro(kErroBancoBase + (rc & 0xFF), msg + " (" + caminho + ")");
  }
  return std::make_shared<BancoSqlite>(db, caminho, somenteLeitura);
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

EstatisticaBanco Estatistica(const Database& db) {
  auto* b = dynamic_cast<const BancoSqlite*>(&db);
  return b ? b->estatistica : EstatisticaBanco{};
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

}  // namespace kv

namespace kv {
std::shared_ptr<Database> CriaSqlite(const std::string& caminho) {
  if (ArquivoExiste(caminho)) throw Erro(kErroArquivo, "O arquivo já existe: " + caminho);
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(caminho.c_str(), &db,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    std::string msg = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close_v2(db);
    throw Erro(kErroBancoBase + (rc & 0xFF), "Não foi possível criar " + caminho + ": " + msg);
  }
  PreparaConexao(db, 5000);
  return std::make_shared<BancoSqlite>(db, caminho, false);
}

namespace {
std::atomic<size_t> gModelos{0};  // ids of the models built so far
}  // namespace

ModeloSql::ModeloSql(std::initializer_list<std::string_view> fixos)
    : fixos_(fixos.begin(), fixos.end()), id_(gModelos++) {
  if (fixos_.empty()) fixos_.emplace_back();
  for (const std::string& f : fixos_) tamanhoFixo_ += f.size();
}

ModeloSql::ModeloSql(std::string_view prefixo, const ModeloSql& resto)
    : fixos_(resto.fixos_), id_(gModelos++) {
  fixos_[0].insert(0, prefixo);
  for (const std::string& f : fixos_) tamanhoFixo_ += f.size();
}

void ModeloSql::Texto(std::initializer_list<std::string_view> valores, std::string& texto) const {
  if (valores.size() + 1 != fixos_.size())
    throw std::logic_error("modelo de SQL com " + std::to_string(fixos_.size() - 1) + " valores recebeu " +
                           std::to_string(valores.size()));
  size_t n = tamanhoFixo_;
  for (std::string_view v : valores) n += v.size();
  texto.resize(n);  // one copy of each piece, straight into place
  char* p = texto.data();
  auto copia = [&p](std::string_view s) { p = std::copy(s.begin(), s.end(), p); };
  copia(fixos_[0]);
  size_t i = 0;
  for (std::string_view v : valores) {
    copia(v);
    copia(fixos_[++i]);
  }
}

std::string ModeloSql::Texto(std::initializer_list<std::string_view> valores) const {
  std::string t;
  Texto(valores, t);
  return t;
}

std::unique_ptr<Recordset> AbreModelo(Database& banco, const ModeloSql& modelo,
                                      std::initializer_list<std::string_view> valores, int tipo) {
  if (typeid(banco) == typeid(BancoSqlite))  // our connection itself, not a wrapper around it
    return static_cast<BancoSqlite&>(banco).AbreModelo(modelo, valores, tipo);
  return banco.OpenRecordset(modelo.Texto(valores), tipo);
}

}  // namespace kv
