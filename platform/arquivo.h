// Files the program writes beside files it does not own.
#pragma once

#include <string>

namespace kv {

// Writes `texto` to `caminho` through a temporary file in the same folder and a rename, so a crash leaves
// the old file or the new one, never half of either. A link is followed; an existing file's mode is kept.
void GravaArquivoInteiro(const std::string& caminho, const std::string& texto, unsigned modoNovo = 0644);

// Whether two paths name the same file, whatever their spelling or links (false when either is missing).
bool MesmoArquivo(const std::string& a, const std::string& b);

}  // namespace kv
