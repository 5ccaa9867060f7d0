// A SQLite connection's one owner, and what every connection of ours is set up with (the Jet import's
// too), NOCASE above all, so that indexes it builds agree with the checks that read them.
#pragma once

#include <memory>
#include <string>

#include "platform/variant.h"

struct sqlite3;
struct sqlite3_stmt;

namespace kv {

struct FechaSqlite {
  void operator()(sqlite3* db) const;
};
// Owns a connection: it is closed however its holder ends.
using SqliteProprio = std::unique_ptr<sqlite3, FechaSqlite>;
// Opens `caminho` with `flags`; returns the connection (even on failure, for its message) and the result.
SqliteProprio AbreConexao(const std::string& caminho, int flags, int& rc);

// Waits up to `esperaMs` for another writer's lock.
void PreparaConexaoSqlite(sqlite3* db, int esperaMs = 5000);
// Binds an amount exactly: whole units as an integer, a Double where it reads back the same, otherwise
// the decimal text as a BLOB (which Currency columns read back exactly).
void LigaMoeda(sqlite3_stmt* st, int i, Currency c);

}  // namespace kv
