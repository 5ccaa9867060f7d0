// The HTML report: one self-contained file for people to open, print or attach.
#pragma once

#include <string>
#include <vector>

#include "cli/verificacao.h"

namespace kv::cli {

// Writes the report of one or more declarations; with more than one, a summary table comes first.
// The file is replaced in one step (temporary file and rename): an interrupted run leaves the old one whole.
void GravaRelatorio(const std::string& arquivo, const std::vector<Verificacao>& verificacoes);
// Refuses (ErroUso) an output path that is the database being checked or any other SQLite database.
void VerificaSaida(const std::string& saida);

}  // namespace kv::cli
