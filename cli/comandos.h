// The subcommands of kvconsistencia; each returns the exit status.
#pragma once

#include <string>
#include <vector>

namespace kv::cli {

using Args = std::vector<std::string>;

int Exemplo(const Args& a);
int Verificar(const Args& a);
int Consistir(const Args& a);
int VerificarKV(const Args& a);
int ValidarChave(const Args& a);
int Lote(const Args& a);
int Importar(const Args& a);
int Janela(const Args& a, int argc, char** argv);

// Says on standard error where an HTML report was written.
void DizOndeGravou(const std::string& html);

// The program's version and those of the libraries it runs on, one per line.
std::string Versoes();

// The help of one command, or of the program when `comando` is empty.
std::string Ajuda(const std::string& comando);

}  // namespace kv::cli
