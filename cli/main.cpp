// kvconsistencia: checks declarations of the Tarvo regime from the command line.
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "cli/comandos.h"
#include "cli/opcoes.h"
#include "cli/saida.h"
#include "platform/erro.h"
#include "platform/texto.h"
#include "report/json.h"

namespace kv::cli {
namespace {

bool PedeAjuda(const std::string& a) {
  return a == "--help" || a == "-h";
}

const std::vector<std::string> kComandos = {"exemplo",       "verificar", "consistir", "verificar-kv",
                                            "validar-chave", "lote",      "importar",  "janela"};

// The command named `comando`, run with its arguments.
int Executa(const std::string& comando, const Args& resto, int argc, char** argv) {
  if (comando == "exemplo") return Exemplo(resto);
  if (comando == "verificar") return Verificar(resto);
  if (comando == "consistir") return Consistir(resto);
  if (comando == "verificar-kv") return VerificarKV(resto);
  if (comando == "validar-chave") return ValidarChave(resto);
  if (comando == "lote") return Lote(resto);
  if (comando == "importar") return Importar(resto);
  if (comando == "janela") return Janela(resto, argc, argv);
  throw ErroUso("comando desconhecido: " + Resumido(comando) + QuisDizer(comando, kComandos));
}

bool Conhecido(const std::string& comando) {
  return std::find(kComandos.begin(), kComandos.end(), comando) != kComandos.end();
}

// A usage error: the one line that matters and where the rest is (the whole help would bury it); a
// program that asked for JSON gets it as JSON too.
int MostraErroDeUso(const std::string& comando, const Args& resto, const ErroUso& e) {
  Escreve(stderr, "kvconsistencia: " + std::string(e.what()) + "\nUse 'kvconsistencia " +
                      (Conhecido(comando) ? comando + " " : "") + "--help' para ver as opções.\n");
  if (std::find(resto.begin(), resto.end(), "--json") != resto.end()) {
    EscritorJson j;
    j.Objeto().Chave("erro").Objeto().Chave("numero").Numero(0).Chave("descricao").Texto(e.what());
    EscreveCru(stdout, j.Chave("uso").Logico(true).Fim().Fim().texto() + "\n");
  }
  return 2;
}

// Help where it was asked for (`--help`, `help [COMANDO]`, a command's `--help` anywhere) or where no
// command was given: its exit status, or none when a command is to run. Help for a command that does not
// exist is that command's error, with the nearest one.
std::optional<int> MostraAjudaPedida(Args& args) {
  bool ajuda = !args.empty() && (PedeAjuda(args[0]) || args[0] == "ajuda" || args[0] == "help");
  if (ajuda && args.size() > 1 && !Conhecido(args[1])) {
    args.erase(args.begin());
    ajuda = false;
  }
  if (args.empty() || ajuda) {
    std::fputs(Ajuda(args.size() > 1 ? args[1] : "").c_str(), args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  if (Conhecido(args[0]) && std::any_of(args.begin() + 1, args.end(), PedeAjuda)) {
    std::fputs(Ajuda(args[0]).c_str(), stdout);
    return 0;
  }
  return std::nullopt;
}

}  // namespace
}  // namespace kv::cli

int main(int argc, char** argv) {
  using namespace kv::cli;
  Args args(argv + 1, argv + argc);
  if (!args.empty() && (args[0] == "--version" || args[0] == "versao")) {
    std::fputs(Versoes().c_str(), stdout);
    return 0;
  }
#ifdef KV_PROGRAMA_DE_JANELAS
  // The desktop program runs `janela`: started with no command, or with the paths its desktop entry
  // passes, it opens the main window over them.
  if (args.empty() || args[0] != "janela") args.insert(args.begin(), "janela");
#endif
  if (const std::optional<int> status = MostraAjudaPedida(args)) return *status;
  const std::string comando = args[0];
  const Args resto(args.begin() + 1, args.end());
  try {
    return Executa(comando, resto, argc, argv);
  } catch (const ErroUso& e) {
    return MostraErroDeUso(comando, resto, e);
  } catch (const LeituraInterrompida&) {
    std::fputs("kvconsistencia: leitura do arquivo Jet interrompida; nada foi verificado\n", stderr);
    return 130;
  } catch (const kv::Erro& e) {
    Escreve(stderr, "kvconsistencia: erro " + std::to_string(e.numero()) + ": " + e.descricao() + "\n");
    return 3;
  } catch (const std::exception& e) {
    Escreve(stderr, "kvconsistencia: " + std::string(e.what()) + "\n");
    return 3;
  }
}
