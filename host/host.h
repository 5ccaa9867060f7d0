// The host's outside components, default implementations registered under their class identifiers.
#pragma once

#include <cstdint>
#include <string>

#include "platform/db/banco.h"
#include "platform/exporta.h"

KV_PUBLICO_INICIO

namespace kv::host {

// Registers ConexaoBanco, FiltroReferencia, RegistroDeclaracao and ArquivoCertificacao. With
// `somenteLeitura`, ConexaoBanco opens databases read-only (nothing can be written through it).
void RegistraComponentes(bool somenteLeitura = false);

// The declaration's rows, every table in a fixed order, each table's rows sorted: what the key seals.
// The recorded flag and key themselves are left out, so recording them does not change the text.
std::string TextoCanonico(Database& banco, int32_t declaracao);

}  // namespace kv::host

KV_PUBLICO_FIM
