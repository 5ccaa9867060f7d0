// kvconsistencia: checks declarations of the Tarvo regime from the command line.
#include <cstdio>
#include <string>

#include "cli/comandos.h"
#include "cli/json.h"
#include "cli/opcoes.h"
#include "cli/saida.h"
#include "platform/erro.h"

int main(int argc, char** argv) {
  using namespace kv::cli;
  Args args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "ajuda") {
    std::string sobre = args.size() > 1 ? args[1] : "";
    std::fputs(Ajuda(sobre).c_str(), args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  std::string comando = args[0];
  Args resto(args.begin() + 1, args.end());
  for (const auto& r : resto)
    if (r == "--help" || r == "-h") {
      std::fputs(Ajuda(comando).c_str(), stdout);
      return 0;
    }
  try {
    if (comando == "exemplo") return Exemplo(resto);
    if (comando == "verificar") return Verificar(resto);
    if (comando == "consistir") return Consistir(resto);
    if (comando == "verificar-kv") return VerificarKV(resto);
    if (comando == "validar-chave") return ValidarChave(resto);
    if (comando == "lote") return Lote(resto);
    if (comando == "importar") return Importar(resto);
    if (comando == "janela") return Janela(resto, argc, argv);
    throw ErroUso("comando desconhecido: " + comando);
  } catch (const ErroUso& e) {
    // The one line that matters and where the rest is: the whole help would bury it.
    Escreve(stderr, "kvconsistencia: " + std::string(e.what()) + "\nUse 'kvconsistencia " +
                        (comando.empty() ? "" : comando + " ") + "--help' para ver as opções.\n");
    // A program that asked for JSON gets the error as JSON too.
    for (const auto& r : resto)
      if (r == "--json") {
        EscreveCru(stdout, "{\"erro\": {\"numero\": 0, \"descricao\": " + JsonTexto(e.what()) +
                               ", \"uso\": true}}\n");
        break;
      }
    return 2;
  } catch (const kv::Erro& e) {
    Escreve(stderr, "kvconsistencia: erro " + std::to_string(e.numero()) + ": " + e.descricao() + "\n");
    return 3;
  } catch (const std::exception& e) {
    Escreve(stderr, "kvconsistencia: " + std::string(e.what()) + "\n");
    return 3;
  }
}
