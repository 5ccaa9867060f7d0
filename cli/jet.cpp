#include "cli/jet.h"

#include <fcntl.h>
#include <mdbtools.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QString>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "cli/opcoes.h"
#include "platform/erro.h"

namespace kv::jet {
namespace {

// libmdb reads these; none may change what the import does (an MDBPATH with an empty element makes
// libmdb search forever for a missing file).
constexpr const char* kVariaveisDoLibmdb[] = {"MDBPATH",          "MDBICONV", "MDB_ICONV",
                                              "MDB_JET3_CHARSET", "MDBOPTS",  "MDB_DEBUG"};

[[noreturn]] void Falha(const std::string& caminho, const std::string& motivo) {
  throw Erro(kErroBancoBase + 26,
             "O arquivo " + caminho + " não pôde ser lido como banco de dados Jet: " + motivo);
}

// Windows-1252, the code page of Jet 3 text, for the bytes 0x80 to 0x9F (the rest is Latin-1).
constexpr char16_t kCp1252[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                  0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

std::string TextoJet(const unsigned char* p, size_t n, bool unicode) {
  std::u16string u;
  if (!unicode) {
    for (size_t i = 0; i < n; ++i) u += p[i] >= 0x80 && p[i] < 0xA0 ? kCp1252[p[i] - 0x80] : char16_t(p[i]);
  } else if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
    // Unicode compression: one byte per character (high byte 0) until a 0 byte switches to two, and back.
    bool comprimido = true;
    for (size_t i = 2; i < n;) {
      if (p[i] == 0) {
        comprimido = !comprimido;
        ++i;
      } else if (comprimido) {
        u += char16_t(p[i++]);
      } else if (i + 1 < n) {
        u += char16_t(p[i] | (p[i + 1] << 8));
        i += 2;
      } else {
        break;
      }
    }
  } else {
    for (size_t i = 0; i + 1 < n; i += 2) u += char16_t(p[i] | (p[i + 1] << 8));
  }
  // Built from the code units as they are: a leading byte-order mark is text too, not a marker.
  return QString(reinterpret_cast<const QChar*>(u.data()), static_cast<qsizetype>(u.size())).toStdString();
}

// A Memo or OLE value: a 12-byte header in the row (length and flags, then where the data lives), the
// data inline, on one page of its own, or on a chain of pages. Read whole, never cut short.
std::string ValorLongo(MdbHandle* mdb, const unsigned char* p, size_t n, const std::string& tabela) {
  if (n < MDB_MEMO_OVERHEAD) return "";
  const uint32_t cabecalho = static_cast<uint32_t>(mdb_get_int32(const_cast<unsigned char*>(p), 0));
  const uint32_t tamanho = cabecalho & 0x3FFFFFFF;
  if (cabecalho & 0x80000000)
    return std::string(reinterpret_cast<const char*>(p) + MDB_MEMO_OVERHEAD, n - MDB_MEMO_OVERHEAD);
  int linha = static_cast<int>(mdb_get_int32(const_cast<unsigned char*>(p), 4));
  std::string r;
  for (int paginas = 0; linha && paginas < 100000; ++paginas) {
    void* pagina = nullptr;
    int inicio = 0;
    size_t len = 0;
    if (mdb_find_pg_row(mdb, linha, &pagina, &inicio, &len) != 0)
      throw Erro(kErroBancoBase + 11, "Valor longo danificado na tabela " + tabela);
    const char* dados = static_cast<const char*>(pagina) + inicio;
    if (cabecalho & 0x40000000) return std::string(dados, len);  // one page of its own
    if (len < 4) break;
    r.append(dados + 4, len - 4);
    linha = static_cast<int>(mdb_get_int32(const_cast<char*>(dados), 0));
  }
  if (r.size() > tamanho) r.resize(tamanho);
  return r;
}

std::string TipoSql(int tipo) {
  switch (tipo) {
    case MDB_BOOL:
      return "BOOLEAN";
    case MDB_BYTE:
      return "TINYINT";
    case MDB_INT:
      return "SMALLINT";
    case MDB_LONGINT:
    case MDB_COMPLEX:
      return "INTEGER";
    case MDB_MONEY:
      return "CURRENCY";
    case MDB_FLOAT:
      return "REAL";
    case MDB_DOUBLE:
      return "DOUBLE";
    case MDB_DATETIME:
      return "DATETIME";
    case MDB_BINARY:
    case MDB_OLE:
      return "BLOB";
    case MDB_NUMERIC:
      return "NUMERIC";
    default:
      return "TEXT";  // Text, Memo, replication ids
  }
}

}  // namespace

std::string DataIso(double dias) {
  double inteiro = std::trunc(dias);
  long long segundos = std::llround(std::fabs(dias - inteiro) * 86400.0);
  long long dia = static_cast<long long>(inteiro) + segundos / 86400;
  segundos %= 86400;
  // Days from 1899-12-30 to a civil date, proleptic Gregorian (H. Hinnant's algorithm).
  long long z = dia - 25569 + 719468;  // 1899-12-30 is 25569 days before 1970-01-01
  long long era = (z >= 0 ? z : z - 146096) / 146097;
  long long doe = z - era * 146097;
  long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long long y = yoe + era * 400, doy = doe - (365 * yoe + yoe / 4 - yoe / 100), mp = (5 * doy + 2) / 153;
  long long d = doy - (153 * mp + 2) / 5 + 1, m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
  char texto[160];
  std::snprintf(texto, sizeof texto, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld", y, m, d, segundos / 3600,
                segundos / 60 % 60, segundos % 60);
  return texto;
}

struct Arquivo::Estado {
  MdbHandle* mdb = nullptr;
  bool unicode = true;
  std::string caminho;
  // libmdb's own output goes to a file of ours while it works.
  int saidaOriginal = -1, erroOriginal = -1;
  std::FILE* mensagens = nullptr;
  std::vector<std::pair<std::string, std::string>> ambiente;

  // Also when the constructor fails half-way: the file is closed and libmdb's environment put back.
  ~Estado() {
    if (mdb) mdb_close(mdb);
    if (mensagens) std::fclose(mensagens);
    for (const auto& [v, valor] : ambiente) ::setenv(v.c_str(), valor.c_str(), 1);
  }
  void Silencia() {
    std::fflush(stdout);
    std::fflush(stderr);
    saidaOriginal = ::dup(1);
    erroOriginal = ::dup(2);
    ::dup2(::fileno(mensagens), 1);
    ::dup2(::fileno(mensagens), 2);
  }
  void Devolve() {
    std::fflush(stdout);
    std::fflush(stderr);
    if (saidaOriginal >= 0) ::dup2(saidaOriginal, 1), ::close(saidaOriginal);
    if (erroOriginal >= 0) ::dup2(erroOriginal, 2), ::close(erroOriginal);
    saidaOriginal = erroOriginal = -1;
  }
};

Arquivo::Arquivo(const std::string& caminho) : e_(std::make_unique<Estado>()) {
  e_->caminho = caminho;
  struct stat st;
  // What the user can correct at once is a usage error; a damaged file is an error of the import.
  auto uso = [&](const std::string& motivo) { throw cli::ErroUso("'" + caminho + "' " + motivo); };
  if (::stat(caminho.c_str(), &st) != 0) uso(std::string("não pode ser lido: ") + std::strerror(errno));
  if (!S_ISREG(st.st_mode)) uso("não é um arquivo");
  if (::access(caminho.c_str(), R_OK) != 0) uso("não pode ser lido: sem permissão de leitura");
  // The header tells a Jet file from anything else, and its page size a whole file from a truncated one.
  unsigned char cabecalho[0x20] = {};
  {
    std::ifstream f(caminho, std::ios::binary);
    f.read(reinterpret_cast<char*>(cabecalho), sizeof cabecalho);
    if (f.gcount() < static_cast<std::streamsize>(sizeof cabecalho))
      uso("está vazio ou é curto demais para um banco de dados Jet");
  }
  if (std::memcmp(cabecalho + 4, "Standard Jet DB", 15) != 0 &&
      std::memcmp(cabecalho + 4, "Standard ACE DB", 15) != 0)
    uso("não é um banco de dados Jet (.mdb) nem ACE (.accdb)");
  const long pagina = cabecalho[0x14] == 0 ? 2048 : 4096;
  if (st.st_size % pagina != 0 || st.st_size < 3 * pagina)
    Falha(caminho, "arquivo truncado (" + std::to_string(st.st_size) +
                       " bytes, não é múltiplo de páginas de " + std::to_string(pagina) + ")");

  for (const char* v : kVariaveisDoLibmdb)
    if (const char* valor = std::getenv(v)) {
      e_->ambiente.emplace_back(v, valor);
      ::unsetenv(v);
    }
  e_->mensagens = std::tmpfile();
  if (!e_->mensagens) Falha(caminho, "não foi possível criar um arquivo temporário");
  e_->Silencia();
  e_->mdb = mdb_open(caminho.c_str(), MDB_NOFLAGS);
  bool catalogo = e_->mdb && mdb_read_catalog(e_->mdb, MDB_TABLE);
  e_->Devolve();
  if (!e_->mdb) Falha(caminho, "o cabeçalho não pôde ser lido (arquivo danificado?)" + Mensagens());
  if (!catalogo)
    Falha(caminho,
          "o catálogo de tabelas não pôde ser lido (arquivo danificado ou protegido?)" + Mensagens());
  e_->unicode = e_->mdb->f->jet_version != MDB_VER_JET3;

  e_->Silencia();
  for (unsigned i = 0; i < e_->mdb->num_catalog; ++i) {
    auto* entrada = static_cast<MdbCatalogEntry*>(g_ptr_array_index(e_->mdb->catalog, i));
    if (entrada->object_type != MDB_TABLE || mdb_is_system_table(entrada)) continue;
    MdbTableDef* t = mdb_read_table(entrada);
    if (!t) continue;
    Tabela tabela{entrada->object_name, {}, static_cast<long>(t->num_rows)};
    mdb_read_columns(t);
    for (unsigned c = 0; c < t->num_cols; ++c) {
      auto* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, c));
      tabela.colunas.push_back({col->name, TipoSql(col->col_type)});
    }
    mdb_free_tabledef(t);
    tabelas_.push_back(std::move(tabela));
  }
  e_->Devolve();
}

Arquivo::~Arquivo() = default;

int Arquivo::Terminal() const {
  return e_->erroOriginal >= 0 ? e_->erroOriginal : 2;
}

std::string Arquivo::Mensagens() {
  if (!e_->mensagens) return "";
  std::fflush(e_->mensagens);
  std::rewind(e_->mensagens);
  std::ostringstream s;
  char bloco[512];
  for (size_t n; (n = std::fread(bloco, 1, sizeof bloco, e_->mensagens)) > 0;)
    s.write(bloco, static_cast<long>(n));
  std::string texto = s.str();
  while (!texto.empty() && (texto.back() == '\n' || texto.back() == ' ')) texto.pop_back();
  return texto.empty() ? "" : " (libmdb: " + texto + ")";
}

long Arquivo::Le(const Tabela& tabela, const std::function<bool(const std::vector<Valor>&)>& linha) {
  MdbHandle* mdb = e_->mdb;
  // libmdb writes warnings on the standard channels: they are collected for the whole table instead
  // (the caller reports progress through Terminal()).
  e_->Silencia();
  struct Devolucao {
    Estado* e;
    ~Devolucao() { e->Devolve(); }
  } devolucao{e_.get()};
  MdbTableDef* t = mdb_read_table_by_name(mdb, const_cast<char*>(tabela.nome.c_str()), MDB_TABLE);
  if (!t) throw Erro(kErroBancoBase + 11, "A tabela " + tabela.nome + " não pôde ser lida de " + e_->caminho);
  struct Libera {
    MdbTableDef* t;
    ~Libera() { mdb_free_tabledef(t); }
  } libera{t};
  mdb_read_columns(t);
  mdb_rewind_table(t);
  std::vector<MdbField> campos(t->num_cols);
  std::vector<Valor> valores(t->num_cols);
  long lidas = 0;
  while (mdb_fetch_row(t)) {
    // The row just read is still on the page: crack it again for its null flags and raw bytes.
    int inicio = 0;
    size_t tamanho = 0;
    if (mdb_find_row(mdb, static_cast<int>(t->cur_row) - 1, &inicio, &tamanho) != 0 ||
        mdb_crack_row(t, inicio & 0x1fff, tamanho, campos.data()) < 0)
      throw Erro(kErroBancoBase + 11, "Linha danificada na tabela " + tabela.nome + " de " + e_->caminho);
    for (unsigned c = 0; c < t->num_cols; ++c) {
      const MdbField& f = campos[c];
      auto* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, f.colnum));
      Valor& v = valores[static_cast<size_t>(f.colnum)];
      v = Valor{};
      const auto* p = static_cast<const unsigned char*>(f.value);
      if (col->col_type == MDB_BOOL) {  // a Yes/No lives in the null flag itself
        v.tipo = Valor::Tipo::Inteiro;
        v.i = f.is_null ? 0 : 1;
        continue;
      }
      if (f.is_null) continue;
      switch (col->col_type) {
        case MDB_BYTE:
          v = {Valor::Tipo::Inteiro, p[0], 0, {}};
          break;
        case MDB_INT:
          v = {Valor::Tipo::Inteiro, static_cast<int16_t>(p[0] | (p[1] << 8)), 0, {}};
          break;
        case MDB_LONGINT:
        case MDB_COMPLEX:
          v = {Valor::Tipo::Inteiro,
               static_cast<int32_t>(mdb_get_int32(const_cast<unsigned char*>(p), 0)),
               0,
               {}};
          break;
        case MDB_MONEY: {
          uint64_t u = 0;
          for (int k = 7; k >= 0; --k) u = (u << 8) | p[k];
          v = {Valor::Tipo::Moeda, static_cast<long long>(u), 0, {}};
          break;
        }
        case MDB_FLOAT: {
          // A Single becomes the Double of its shortest text, so 0.15 stays 0.15.
          float s = mdb_get_single(const_cast<unsigned char*>(p), 0);
          char texto[32];
          auto r = std::to_chars(texto, texto + sizeof texto, s);
          double d = 0;
          std::from_chars(texto, r.ptr, d);
          v = {Valor::Tipo::Duplo, 0, d, {}};
          break;
        }
        case MDB_DOUBLE:
          v = {Valor::Tipo::Duplo, 0, mdb_get_double(const_cast<unsigned char*>(p), 0), {}};
          break;
        case MDB_DATETIME:
          v = {Valor::Tipo::Texto, 0, 0, DataIso(mdb_get_double(const_cast<unsigned char*>(p), 0))};
          break;
        case MDB_TEXT:
          v = {Valor::Tipo::Texto, 0, 0, TextoJet(p, static_cast<size_t>(f.siz), e_->unicode)};
          break;
        case MDB_MEMO:
        case MDB_OLE: {
          std::string bytes = ValorLongo(mdb, p, static_cast<size_t>(f.siz), tabela.nome);
          if (col->col_type == MDB_MEMO)
            v = {Valor::Tipo::Texto, 0, 0,
                 TextoJet(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), e_->unicode)};
          else
            v = {Valor::Tipo::Bytes, 0, 0, std::move(bytes)};
          break;
        }
        case MDB_BINARY:
          v = {Valor::Tipo::Bytes, 0, 0,
               std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(f.siz))};
          break;
        default: {
          char* texto = mdb_col_to_string(mdb, mdb->pg_buf, f.start, col->col_type, f.siz);
          v = {Valor::Tipo::Texto, 0, 0, texto ? texto : ""};
          g_free(texto);
        }
      }
    }
    ++lidas;
    if (!linha(valores)) break;
  }
  return lidas;
}

}  // namespace kv::jet
