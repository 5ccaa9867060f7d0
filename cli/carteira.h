// The databases one lote run checks: files given and folders searched, each file once, Jet files read
// through the safe reader into temporary SQLite copies that go when the run ends.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cli/verificacao.h"
#include "platform/temporaria.h"

namespace kv::cli {

struct ArquivoDaCarteira {
  std::string nome;     // as the output names it: the path given, or found in a folder
  std::string caminho;  // what the checks read: the file itself, or a Jet file's temporary copy
  bool jet = false;
  std::optional<ErroVerificacao> erro;  // why the file cannot be checked (its one line; the others go on)
  bool erroDeUso = false;               // the error is in how it was named (no database), not damage
  std::vector<std::string> declaracoes;
};

class Carteira {
 public:
  // Finds the files: each path a file (of any name) or a folder, searched through its subfolders for
  // .db, .sqlite, .mdb and .accdb (links are not followed; every file counts once, by its identity). A
  // path that does not exist, or nothing found at all, is an ErroUso.
  explicit Carteira(const std::vector<std::string>& caminhos);
  // One file named directly: the run behaves as a check of that one database.
  bool Unica() const { return unica_; }
  // Reads each file: a Jet file into its copy, then the declarations; a file that cannot be checked
  // keeps its reason. False when a signal stopped a Jet read (nothing is left of it).
  // `progresso` is told of each file as it is read (on a terminal, the Jet reads take a while).
  bool Prepara(const std::function<void(size_t feitos, size_t total)>& progresso = {});
  const std::vector<ArquivoDaCarteira>& arquivos() const { return arquivos_; }
  // The copies, to be opened read-only: they stand for files that are never written.
  std::vector<std::string> Copias() const;

 private:
  std::vector<ArquivoDaCarteira> arquivos_;
  bool unica_ = false;
  std::optional<PastaTemporaria> copias_;  // made with the first Jet copy
};

// Registers a ConexaoBanco that opens the carteira's Jet copies read-only (they stand for files that are
// never written) and every other database as `somenteLeitura` says, and tells the user of each copy.
void RegistraCopiasSoParaLeitura(const Carteira& carteira, bool somenteLeitura);

// The declarations of a declaration database, in order; ErroUso when it has none of the tables the rules
// read or cannot be opened.
std::vector<std::string> DeclaracoesDoBanco(const std::string& caminho);

}  // namespace kv::cli
