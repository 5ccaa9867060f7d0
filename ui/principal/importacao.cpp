#include "ui/principal/importacao.h"

#include <QProgressDialog>

#include "jet/importacao.h"
#include "platform/texto.h"
#include "ui/principal/textos.h"

namespace kv {

ImportacaoDoJet::ImportacaoDoJet(QWidget* janela) : QObject(janela), janela_(janela) {}

ImportacaoDoJet::~ImportacaoDoJet() {
  cancela_ = true;
  if (thread_.joinable()) thread_.join();
}

void ImportacaoDoJet::Inicia(const std::string& origem, const std::string& destino, AoTerminar aoTerminar) {
  if (Ativa()) return;
  cancela_ = false;
  dialogo_ = new QProgressDialog(U("Importando “%1”…").arg(Visivel(origem)), "Cancelar", 0, 0, janela_);
  dialogo_->setWindowTitle(QString::fromUtf8("Importar arquivo Jet"));
  dialogo_->setWindowModality(Qt::WindowModal);
  dialogo_->setMinimumDuration(300);
  dialogo_->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialogo_, &QProgressDialog::canceled, this, [this] { cancela_ = true; });
  auto progresso = [this](const std::string&, long long feitas, long long total) {
    QMetaObject::invokeMethod(this, [this, feitas, total] {
      if (!dialogo_ || total <= 0) return;
      dialogo_->setMaximum(1000);
      dialogo_->setValue(static_cast<int>(1000 * feitas / total));
    });
  };
  thread_ = std::thread([this, origem, destino, progresso, aoTerminar = std::move(aoTerminar)] {
    std::string erro;
    bool interrompida = false;
    try {
      interrompida = jet::Importa(origem, destino, progresso, {}, &cancela_).interrompida;
    } catch (const std::exception& e) {
      erro = e.what();
    }
    QMetaObject::invokeMethod(this, [this, erro, interrompida, aoTerminar] {
      thread_.join();
      if (dialogo_) dialogo_->close();
      aoTerminar(erro, interrompida);
    });
  });
}

}  // namespace kv
