// The consistency key: certified in a private temporary file, read back, and recorded with the consistent
// flag through the host's RegistroDeclaracao. The control and the headless checker both make it here.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/exporta.h"
#include "platform/interface_usuario.h"
#include "platform/variant.h"

KV_PUBLICO_INICIO

namespace kv {

// Passed to the certification library on every run.
inline const std::string kChaveInterna = "3B9D04E1A7C25F6083D1E9B47A0C6F25";
// The name of the file the key is certified in, inside a private folder of the run.
inline const std::string kArquivoTemporarioChave = "tempXYZ.prf";

// Makes the key of the module's current declaration and records it with the consistent flag. A
// certification failure shows its box (on `caixa`) and then raises the error: nothing is recorded.
void GeraChave(CaixaMensagem& caixa);
// Records the module's current declaration as not consistent (which clears its key).
void GravaInconsistente();

// Has ArquivoCertificacao write `declaracao` into `arquivo` and the certification library certify it;
// returns the library's answer (0 is success). Shared by the key and the offline key check.
int16_t CertificaDeclaracao(const std::string& arquivo, int32_t declaracao);
// The last 32 bytes of the file, as text; a file shorter than 32 bytes raises error 63.
std::string LeChaveDoArquivo(const std::string& arquivo);
// The key that the declaration's current data would get (certified in a private folder), and whether a
// recorded key is that one: a key only seals the data it was made from.
std::string ChaveDosDados(int32_t declaracao);
bool ChaveConfere(int32_t declaracao, const std::string& chave);
// Creates an empty file that only its owner may read; an existing file raises Erro.
void CriaArquivoPrivado(const std::string& caminho);
// Headless default box: title and text on standard error, answers OK.
std::shared_ptr<CaixaMensagem> CaixaPadrao();

}  // namespace kv

KV_PUBLICO_FIM

// For the front ends: not exported.
namespace kv {
// Consistente and Chave as recorded for `declaracao` in the database the settings name (Null when it
// has no row, or there is no database).
struct RegistroGravado {
  Variant consistente, chave;
};
RegistroGravado LeRegistroGravado(const std::string& declaracao);
}  // namespace kv
