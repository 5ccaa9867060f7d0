// janela: the visible control in a window of its own, as a host would place it.
#include <QApplication>
#include <QVBoxLayout>

#include "cli/comandos.h"
#include "cli/verificacao.h"
#include "ui/kvctlconsistencia.h"

namespace kv::cli {

int Janela(const Args& a, int argc, char** argv) {
  Opcoes o(a, {"--banco", "--declaracao", "--exercicio"}, {});
  std::string declaracao = o.Exige("--declaracao");
  // Without a display Qt would abort with a message about its platform plugin; say it plainly instead.
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
      qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    throw ErroUso(
        "não há tela disponível (defina DISPLAY ou WAYLAND_DISPLAY, ou use 'verificar' e 'consistir')");
  QApplication app(argc, argv);
  PreparaHost(o);
  QWidget janela;
  janela.setWindowTitle(QString::fromStdString("Consistência da Declaração " + declaracao));
  auto* controle = new kvCtlConsistencia(&janela);
  auto* layout = new QVBoxLayout(&janela);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addWidget(controle);
  controle->DefineDeclaracao(QString::fromStdString(declaracao));
  QObject::connect(controle, &kvCtlConsistencia::Fechar, &janela, &QWidget::close);
  janela.show();
  app.exec();
  Registro r = LeRegistro(declaracao);
  return !r.consistente.IsNull() && CBool(r.consistente) ? 0 : 1;
}

}  // namespace kv::cli
