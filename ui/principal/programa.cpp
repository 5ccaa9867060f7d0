#include "ui/principal/programa.h"

#include <QApplication>
#include <QIcon>

#include "ui/principal/janela_principal.h"

namespace kv {

int ExecutaProgramaDeJanelas(int& argc, char** argv, const std::vector<std::string>& caminhos,
                             int exercicio) {
  QApplication app(argc, argv);
  // The desktop entry's name: the shell then shows the entry's icon and name for the window.
  QGuiApplication::setDesktopFileName("kvconsistencia-janela");
  QApplication::setWindowIcon(QIcon::fromTheme("kvconsistencia-janela"));
  JanelaPrincipal janela;
  if (exercicio) janela.DefineExercicio(exercicio);
  janela.show();
  if (!caminhos.empty()) janela.Abre(caminhos);
  return app.exec();
}

}  // namespace kv
