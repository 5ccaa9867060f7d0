// The collation and settings every connection of ours gets, and amounts bound exactly.
#include "platform/db/colacao.h"

#include <sqlite3.h>

#include <QString>
#include <cstdlib>
#include <string>

namespace kv {
namespace {

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

}  // namespace

void FechaSqlite::operator()(sqlite3* db) const {
  sqlite3_close_v2(db);
}

SqliteProprio AbreConexao(const std::string& caminho, int flags, int& rc) {
  sqlite3* db = nullptr;
  rc = sqlite3_open_v2(caminho.c_str(), &db, flags, nullptr);
  return SqliteProprio(db);
}

void PreparaConexaoSqlite(sqlite3* db, int esperaMs) {
  sqlite3_busy_timeout(db, esperaMs);
  sqlite3_create_collation_v2(db, "NOCASE", SQLITE_UTF8, nullptr, ComparaSemCaixa, nullptr);
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

}  // namespace kv
