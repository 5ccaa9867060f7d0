// Declaration databases with the reference schema: the bundled example, and generated data for tests
// and benchmarks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/db/banco.h"
#include "platform/db/esquema.h"
#include "platform/exporta.h"

KV_PUBLICO_INICIO

namespace kv::host {

// A declaration that every rule passes: 12 months of entries and exits, interstate detail by state for
// each month and type (`estados` rows each), `tovir` TOVIR rows (at least 4) within the totals, and its
// taxpayer.
void InsereDeclaracaoLimpa(Database& banco, int32_t declaracao, const std::string& ie, int estados = 2,
                           int tovir = 4);

struct DeclaracaoExemplo {
  int32_t numero;
  std::string mostra;  // what the declaration shows, for people
};

// Creates the example database at `caminho` (which must not exist yet): declarations that show every
// group of findings and one that is clean.
std::vector<DeclaracaoExemplo> CriaExemplo(const std::string& caminho);

// Turns a clean declaration into one with findings of every group but the fiscal year's (which needs a
// declaration without monthly rows): used by generated databases.
void SemeiaAchados(Database& banco, int32_t declaracao);

}  // namespace kv::host

KV_PUBLICO_FIM
