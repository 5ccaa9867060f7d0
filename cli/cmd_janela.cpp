// janela: the visible control in a window of its own, as a host would place it.
#include <QApplication>
#include <QCloseEvent>
#include <QVBoxLayout>

#include "cli/comandos.h"
#include "cli/verificacao.h"
#include "ui/kvctlconsistencia.h"

namespace kv::cli {
namespace {

// Closing the window from its title bar is the same as Fechar: the final check, then the end.
class JanelaDoControle : public QWidget {
 public:
  explicit JanelaDoControle(const std::string& declaracao) {
    setWindowTitle(QString::fromStdString("Consistência da Declaração " + declaracao));
    controle_ = new kvCtlConsistencia(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(controle_);
    controle_->DefineDeclaracao(QString::fromStdString(declaracao));
    QObject::connect(controle_, &kvCtlConsistencia::Fechar, this, [this] {
      fechada_ = true;
      if (!fechando_) close();
    });
  }
  bool falhou() const { return falhou_; }

 protected:
  void closeEvent(QCloseEvent* e) override {
    if (!fechada_) {
      fechando_ = true;
      falhou_ = !controle_->Fecha();
      fechando_ = false;
    }
    e->accept();
  }

 private:
  kvCtlConsistencia* controle_;
  bool fechada_ = false, fechando_ = false, falhou_ = false;
};

}  // namespace

int Janela(const Args& a, int argc, char** argv) {
  Opcoes o(a, {"--banco", "--declaracao", "--exercicio"}, {});
  std::string declaracao = o.Exige("--declaracao");
  // Without a display Qt would abort with a message about its platform plugin; say it plainly instead.
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
      qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    throw ErroUso(
        "não há tela disponível (defina DISPLAY ou WAYLAND_DISPLAY, ou use 'verificar' e 'consistir')");
  PreparaHost(o);
  QApplication app(argc, argv);
  JanelaDoControle janela(declaracao);
  janela.show();
  app.exec();
  if (janela.falhou()) return 3;
  Registro r = LeRegistro(declaracao);
  return !r.consistente.IsNull() && CBool(r.consistente) ? 0 : 1;
}

}  // namespace kv::cli
