#include "cli/comandos.h"
#include "cli/opcoes.h"
namespace kv::cli {
int Lote(const Args&) { throw ErroUso("ainda não disponível"); }
int Janela(const Args&, int, char**) { throw ErroUso("ainda não disponível"); }
}  // namespace kv::cli
