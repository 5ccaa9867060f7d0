// The HTML report: one self-contained file for people to open, print or attach.
#pragma once

#include <string>
#include <vector>

#include "cli/verificacao.h"

namespace kv::cli {

// Writes the report of one or more declarations; with more than one, a summary table comes first.
void GravaRelatorio(const std::string& arquivo, const std::vector<Verificacao>& verificacoes);

}  // namespace kv::cli
