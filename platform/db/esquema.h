// The reference schema of the declaration database: the tables the rules read, their indexes, and the
// states the interstate listings name. The example data, the Jet import and the command line share it.
#pragma once

#include <string>
#include <vector>

#include "platform/db/banco.h"
#include "platform/exporta.h"

KV_PUBLICO_INICIO

namespace kv {

// Creates the tables with their indexes, and fills tblEstados.
void CriaEsquema(Database& banco);

// The indexes of the reference schema, each with the table it belongs to (the import creates those of
// the tables a file has).
struct IndiceDoEsquema {
  const char* tabela;
  const char* sql;
};
inline constexpr IndiceDoEsquema kIndicesDoEsquema[] = {
    {"tblEntradas", "CREATE INDEX ixEntradas ON tblEntradas (Declaração, Ref)"},
    {"tblSaídas", "CREATE INDEX ixSaidas ON tblSaídas (Declaração, Ref)"},
    {"tblDetalhesInterUFs", "CREATE INDEX ixDetalhes ON tblDetalhesInterUFs (Declaração, Ref, Tipo)"},
    {"tblTOVIR", "CREATE INDEX ixTovir ON tblTOVIR (Declaração, CódTOVIR, Município)"},
};
// The tables the rules read: a declaration file without one of them cannot be checked.
inline constexpr const char* kTabelasDasRegras[] = {"tblContribuinte", "tblDeclaração",       "tblEntradas",
                                                    "tblSaídas",       "tblDetalhesInterUFs", "tblEstados",
                                                    "tblTOVIR"};

// The database has every table the rules read and, when one is named, the declaration: ErroDeUso saying
// what is missing otherwise. A database that cannot be read now (busy, damaged) is left to the check,
// which reports it.
void ConfereBancoDeDeclaracoes(const std::string& caminho, const std::string& declaracao = "");
// The declarations of a declaration database, in order (ErroDeUso when it cannot be opened).
std::vector<std::string> DeclaracoesDoBanco(const std::string& caminho);

}  // namespace kv

KV_PUBLICO_FIM
