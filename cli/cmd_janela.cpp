// janela: the visible control in a window of its own, as a host would place it.
#include <QApplication>
#include <cstdio>

#include "cli/comandos.h"
#include "cli/saida.h"
#include "cli/verificacao.h"
#include "ui/janela.h"

namespace kv::cli {

int Janela(const Args& a, int argc, char** argv) {
  Opcoes o(a, {"--banco", "--declaracao", "--exercicio"}, {});
  std::string declaracao = o.Exige("--declaracao");
  // Without a display Qt would abort with a message about its platform plugin; say it plainly instead.
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
      qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    throw ErroUso(
        "não há tela disponível (defina DISPLAY ou WAYLAND_DISPLAY, ou use 'verificar' e 'consistir')");
  PreparaHost(o, {.aceitaJet = false});
  QApplication app(argc, argv);
  JanelaConsistencia janela(declaracao);
  janela.show();
  app.exec();
  // What the window ended with, for the terminal it was started from.
  if (janela.Falhou()) {
    Escreve(stdout, "Declaração " + declaracao + ": a verificação final falhou; nada foi gravado.\n");
    return 3;
  }
  RegistroGravado r = LeRegistroGravado(declaracao);
  const bool consistente = !r.consistente.IsNull() && CBool(r.consistente);
  const std::string chave = r.chave.IsNull() ? "" : TextoDe(r.chave);
  Escreve(stdout, "Declaração " + declaracao + ": gravada " +
                      (consistente ? "consistente" : "inconsistente") +
                      (chave.empty() ? "" : "; chave " + chave) + "\n");
  return consistente ? 0 : 1;
}

}  // namespace kv::cli
