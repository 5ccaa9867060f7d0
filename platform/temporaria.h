// Private folders for temporary copies of a declaration's data (the key's file, a Jet file's copy): they
// hold a taxpayer's data, so they are readable by their owner alone and never outlive their run.
#pragma once

#include <string>

namespace kv {

class PastaTemporaria {
 public:
  // Where the folder goes: the user's runtime folder (in memory, private, cleared at logout; for small
  // files) when there is one, else TMPDIR; or TMPDIR always (for copies that may be large).
  enum class Onde { Execucao, Temporaria };

  // Creates <base>/kvconsistencia-<pid>-<uso>-XXXXXX with mode 0700, after removing such folders of this
  // user whose process is gone (a run killed with SIGKILL cleans up nothing). Raises Erro when no folder
  // can be made.
  explicit PastaTemporaria(const std::string& uso, Onde onde = Onde::Temporaria);
  // Removes the folder with everything in it.
  ~PastaTemporaria();
  PastaTemporaria(const PastaTemporaria&) = delete;
  PastaTemporaria& operator=(const PastaTemporaria&) = delete;

  const std::string& caminho() const { return caminho_; }
  std::string Arquivo(const std::string& nome) const { return caminho_ + "/" + nome; }

 private:
  std::string caminho_;
  int vaga_ = -1;
};

// While a folder lives, SIGINT, SIGTERM and SIGHUP that would end the process remove it first: the
// handler is installed when the first folder is made, where the signal still has its default action. A
// program that takes a signal itself (to stop cleanly) restores the previous handler afterwards.

// The base folder for `onde`, without a trailing separator.
std::string BaseTemporaria(PastaTemporaria::Onde onde);

}  // namespace kv
