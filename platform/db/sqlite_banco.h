// The Database interface over a SQLite file: opening, creating, telling a database from another file.
#pragma once

#include <memory>
#include <string>

#include "platform/db/banco.h"
#include "platform/exporta.h"

KV_PUBLICO_INICIO

namespace kv {

class ConexaoBanco;

// Opens an existing SQLite file for reading and writing (read-only when the file is, or when asked).
// Returns null when the file does not exist or is not a SQLite database. Waits up to `esperaMs` for
// another writer's lock.
std::shared_ptr<Database> AbreSqlite(const std::string& caminho, int esperaMs = 5000,
                                     bool somenteLeitura = false);

// Whether `caminho` names an existing file that SQLite reads as a database.
bool EhBancoSqlite(const std::string& caminho);
// Why `caminho` cannot be opened as a database ("não existe", "sem permissão de leitura", ...), or ""
// when it can.
std::string MotivoNaoEhBanco(const std::string& caminho);

// The default ConexaoBanco: a database on an existing SQLite file, none when the file does not exist or
// is not a database; one open connection per path for the thread, reused (a few paths at a time, for a
// batch over many files). With `somenteLeitura` nothing can be written through it.
std::shared_ptr<ConexaoBanco> ConexaoSqlite(bool somenteLeitura);

// Creates a new, empty SQLite database file; an existing file raises Erro naming it.
std::shared_ptr<Database> CriaSqlite(const std::string& caminho);
}  // namespace kv

KV_PUBLICO_FIM

// Not exported.
namespace kv {
// The SQLite library in use ("3.40.1").
std::string VersaoSqlite();

// Runs SQLite's EXPLAIN QUERY PLAN on the adapted form of a Jet text, one detail line per row.
std::string PlanoDeConsulta(Database& db, const std::string& jet);

}  // namespace kv
