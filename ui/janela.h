// The window `kvconsistencia janela` shows: the visible control as a host would place it, with what a
// person alone at it needs around it. The control inside keeps its own images, texts and behaviour.
#pragma once

#include <QWidget>
#include <string>

class QPushButton;
class QTreeWidget;

namespace kv {

class BarraDeEstado;
class kvCtlConsistencia;

class JanelaConsistencia : public QWidget {
 public:
  explicit JanelaConsistencia(const std::string& declaracao, QWidget* pai = nullptr);

  kvCtlConsistencia& Controle() { return *controle_; }
  // The status bar's text: where the declaration stands and what to do next.
  QString Estado() const;
  // Whether the final check failed with an error (the window then closes without recording).
  bool Falhou() const { return falhou_; }
  // Brings the status bar and the items' tooltips up to date with the control's tree.
  void Atualiza();

 protected:
  void closeEvent(QCloseEvent* e) override;
  bool eventFilter(QObject* alvo, QEvent* e) override;

 private:
  // Makes the first finding current when no item is (at the start, and after the tree is rebuilt).
  void PoeCorrente();
  // After Enter, Space or a double-click on an item: say why it stayed open when it cannot be accepted.
  void DepoisDoAceite();

  kvCtlConsistencia* controle_;
  QTreeWidget* lista_;
  QPushButton* fechar_;
  BarraDeEstado* barra_;  // one line; the whole text is its tooltip
  QString aviso_;         // a passing message in the status bar, until the tree changes
  bool fechada_ = false, fechando_ = false, falhou_ = false, focoInicial_ = false;
};

}  // namespace kv
