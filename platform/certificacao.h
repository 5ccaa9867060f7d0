// The certification library and the folder of the component's own library file.
#pragma once

#include <string>

#include "platform/exporta.h"

KV_PUBLICO_INICIO

namespace kv {

// Calls CertificaArquivo(arquivo, chave) of the library at the absolute path `biblioteca`, loading it
// on first use and keeping it loaded (never through the library search path). A library that cannot
// be loaded, or lacks the function, raises Erro naming the file and the reason.
int CertificaArquivo(const std::string& biblioteca, const std::string& arquivo, const std::string& chave);

// Folder of libkvCptConsistencia.so, without a trailing separator.
std::string PastaDoComponente();
// Where the certification library is looked for; the component's folder unless a test says otherwise.
std::string PastaDaCertificacao();
void DefinePastaDaCertificacao(const std::string& pasta);  // "" restores the default

}  // namespace kv

KV_PUBLICO_FIM
