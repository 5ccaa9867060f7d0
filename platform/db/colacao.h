// For code that opens its own SQLite connection (the Jet import): the settings every connection of
// ours has, NOCASE above all, so that indexes it builds agree with the checks that read them.
#pragma once

#include "platform/variant.h"

struct sqlite3;
struct sqlite3_stmt;

namespace kv {

// Waits up to `esperaMs` for another writer's lock.
void PreparaConexaoSqlite(sqlite3* db, int esperaMs = 5000);
// Binds an amount exactly: whole units as an integer, a Double where it reads back the same, otherwise
// the decimal text as a BLOB (which Currency columns read back exactly).
void LigaMoeda(sqlite3_stmt* st, int i, Currency c);

}  // namespace kv
