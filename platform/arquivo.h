// Files the program writes beside files it does not own.
#pragma once

#include <string>

namespace kv {

// Writes `texto` to `caminho` through a temporary file in the same folder and a rename, so a crash leaves
// the old file or the new one, never half of either. A link is followed; an existing file's mode is kept,
// a new file gets `modoNovo` masked by the user's umask (never wider).
void GravaArquivoInteiro(const std::string& caminho, const std::string& texto, unsigned modoNovo = 0644);

// The process's umask, read without changing it (changing it, even for a moment, would race with other
// threads creating files).
unsigned MascaraDoUsuario();

// An exclusive lock held through an open file (flock): the kernel releases it when its holder ends, so an
// empty or stale lock file left by a killed run never stalls the next one. Threads of one process exclude
// each other as processes do. The lock file is created (0600, never through a link) and left in place.
class TravaDeArquivo {
 public:
  // Waits up to `esperaMs` for the lock; Obtida() says whether it came.
  TravaDeArquivo(const std::string& caminho, int esperaMs);
  ~TravaDeArquivo();
  TravaDeArquivo(const TravaDeArquivo&) = delete;
  TravaDeArquivo& operator=(const TravaDeArquivo&) = delete;
  bool Obtida() const { return obtida_; }

 private:
  int fd_ = -1;
  bool obtida_ = false;
};

// `caminho` made absolute against the working folder and cleaned of "." and ".." and doubled or trailing
// separators, byte for byte: a name that is not UTF-8 stays the name of its file.
std::string Absoluto(const std::string& caminho);

// Whether two paths name the same file, whatever their spelling or links (false when either is missing).
bool MesmoArquivo(const std::string& a, const std::string& b);

}  // namespace kv
