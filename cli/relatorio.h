// The HTML report: one self-contained file for people to open, print or attach.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/verificacao.h"

namespace kv::cli {

// Writes the report of one or more declarations; with more than one, a summary table comes first.
// The file is replaced in one step (temporary file and rename): an interrupted run leaves the old one whole.
void GravaRelatorio(const std::string& arquivo, const std::vector<Verificacao>& verificacoes);
// A file of a portfolio in its report.
struct ArquivoNoRelatorio {
  std::string nome;
  std::optional<ErroVerificacao> erro;  // the file could not be read
  bool problema = false;                // unreadable, or some declaration failed or is inconsistent
  std::vector<Verificacao> verificacoes;
};
// A portfolio's report: the files with problems first, each with a table of its declarations and their
// sections, then the count of each kind of finding (`tipos`, most frequent first).
void GravaRelatorioDaCarteira(const std::string& arquivo, const std::vector<ArquivoNoRelatorio>& arquivos,
                              const std::vector<std::pair<std::string, long>>& tipos);
// Refuses (ErroUso) an output path that is the database being checked or any other SQLite database.
void VerificaSaida(const std::string& saida);

}  // namespace kv::cli
