// A Jet file copied into a new SQLite database. The copy is one transaction into a private temporary
// file (mode 0600) beside the destination, renamed into place only when every table and row the file
// records has arrived; an error, Ctrl-C, SIGTERM or SIGHUP removes it, and a temporary file that a killed
// import left is removed by the next import to the same destination.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "jet/leitor.h"

namespace kv::jet {

struct Importacao {
  std::vector<std::pair<std::string, long long>> tabelas;  // name and rows, in catalog order
  long long linhas = 0;
  bool declaracoes = false;         // the file has tblDeclaração (and so every table the rules read)
  std::vector<std::string> avisos;  // what libmdb said, each line once, shown safely
  bool interrompida = false;        // stopped by a signal or by the caller: nothing written
  int sinal = 0;                    // the signal that stopped it, if one did
};

// Called now and then while rows arrive: the table being copied, rows copied so far, rows in all.
using Progresso = std::function<void(const std::string& tabela, long long feitas, long long total)>;

// Raises ErroDeUso for a source that is no Jet file, Erro for a damaged one or a destination that
// cannot be written; in every such case nothing is left at the destination.
// `cancela`, when it becomes true, stops the read as a signal does.
Importacao Importa(const std::string& origem, const std::string& destino, const Progresso& progresso = {},
                   const Limites& limites = {}, const std::atomic<bool>* cancela = nullptr);

// The temporary file an import to `destino` by process `pid` writes.
std::string Temporario(const std::string& destino, long pid);

}  // namespace kv::jet
