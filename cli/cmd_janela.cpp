// janela: the visible control in a window of its own, as a host would place it; without a declaration, the
// desktop program's main window over the files and folders given.
#include <QApplication>
#include <cstdio>

#include "cli/comandos.h"
#include "cli/saida.h"
#include "cli/verificacao.h"
#include "platform/texto.h"
#include "ui/janela.h"
#include "ui/principal/programa.h"

namespace kv::cli {
namespace {

// The main window over --banco (repeatable) and the paths given, with --exercicio as its fiscal year.
int JanelaPrincipal(const Opcoes& o, int argc, char** argv) {
  PreparaHost(o, {.exercicio = false, .declaracao = false, .carteira = true});
  std::vector<std::string> caminhos = o.Todos("--banco");
  caminhos.insert(caminhos.end(), o.Posicionais().begin(), o.Posicionais().end());
  const int exercicio = o.Tem("--exercicio") ? std::stoi(o.Valor("--exercicio")) : 0;
  return ExecutaProgramaDeJanelas(argc, argv, caminhos, exercicio);
}

}  // namespace

int Janela(const Args& a, int argc, char** argv) {
  Opcoes o(a, {"--banco", "--declaracao", "--exercicio"}, {}, SIZE_MAX, {"--banco"});
  // Without a display Qt would abort with a message about its platform plugin; say it plainly instead.
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
      qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    throw ErroUso(
        "não há tela disponível (defina DISPLAY ou WAYLAND_DISPLAY, ou use 'verificar' e 'consistir')");
  if (!o.Tem("--declaracao")) return JanelaPrincipal(o, argc, argv);
  // One declaration of one database.
  if (!o.Posicionais().empty()) throw ErroUso("argumento inesperado: " + Resumido(o.Posicionais().front()));
  if (o.Todos("--banco").size() > 1) throw ErroUso("a opção --banco foi dada mais de uma vez");
  std::string declaracao = o.Valor("--declaracao");
  PreparaHost(o, {.aceitaJet = false, .grava = true});
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
