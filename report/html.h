// The HTML report: one self-contained file for people to open, print or attach.
#pragma once

#include <string>
#include <vector>

#include "control/resultado.h"
#include "portfolio/carteira.h"

namespace kv {

// The report of one or more declarations of one database; with more than one, a summary table comes
// first. The file is replaced in one step (temporary file and rename): an interrupted run leaves the old
// one whole.
void GravaRelatorio(const std::string& arquivo, const std::vector<ResultadoVerificacao>& verificacoes,
                    const std::string& banco, const std::string& exercicio);
// A portfolio's report: the count of each kind of finding, then the files reached, those with problems
// first, each with a table of its declarations and their sections.
void GravaRelatorioDaCarteira(const std::string& arquivo, const Carteira& carteira,
                              const ResumoDaCarteira& resumo,
                              const std::vector<ResultadoDaCarteira>& resultados,
                              const std::string& exercicio);

}  // namespace kv
