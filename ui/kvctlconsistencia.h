// kvCtlConsistencia: the visible control. It lays out the child controls, mirrors the logic's tree and
// texts, and forwards the user's clicks; everything it decides is ControleConsistencia's.
#pragma once

#include <QVariant>
#include <QWidget>
#include <memory>

#include "control/arvore.h"
#include "control/controle.h"
#include "platform/componentes.h"
#include "platform/exporta.h"

KV_PUBLICO_INICIO

class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace kv {

class kvCtlConsistencia : public QWidget, public Componente, private ObservadorArvore {
  Q_OBJECT
  Q_PROPERTY(QVariant Declaracao READ Declaracao WRITE DefineDeclaracao)
  Q_PROPERTY(QVariant IE READ IE WRITE DefineIE)
  Q_PROPERTY(QVariant Deducoes READ Deducoes WRITE DefineDeducoes)
  Q_PROPERTY(QVariant CNAE READ CNAE WRITE DefineCNAE)
  // Off by default: the description shows the rule's message alone, as specified.
  Q_PROPERTY(bool MostraValores READ MostraValores WRITE DefineMostraValores)

 public:
  explicit kvCtlConsistencia(QWidget* pai = nullptr);
  ~kvCtlConsistencia() override;

  // Properties. "Declaração", with its accent, is also answered as a dynamic property for hosts.
  QVariant Declaracao() const;
  void DefineDeclaracao(const QVariant& v);
  QVariant IE() const;
  void DefineIE(const QVariant& v);
  QVariant Deducoes() const;
  void DefineDeducoes(const QVariant& v);
  QVariant CNAE() const;
  void DefineCNAE(const QVariant& v);

  void RetiradbClick(bool& vf) { logica_.RetiradbClick(vf); }
  bool MostraValores() const { return logica_.MostraValores(); }
  void DefineMostraValores(bool v) { logica_.DefineMostraValores(v); }
  bool MostrouMsg() { return logica_.MostrouMsg(); }
  void CarregaLabel() { logica_.CarregaLabel(); }
  void LimpaMensagem() { logica_.LimpaMensagem(); }
  void ListaDeLocais_NodeClick(QTreeWidgetItem* item);
  void ListaDeLocais_DblClick() { logica_.ListaDeLocais_DblClick(); }
  // The host's rebuild: always from the database; the result is shown as a paint's would be.
  void MontaInconsistencias();
  bool Consistir() { return logica_.Consistir(); }
  void Clear() { logica_.Clear(); }

  ControleConsistencia& Logica() { return logica_; }
  // What the Fechar button does: the final check, its message box, and Fechar raised. An error of the
  // final check is shown in a box; it returns false then, and Fechar is not raised.
  bool Fecha();
  // How many times the paint handler rebuilt the tree (for tests and diagnostics).
  int Reconstrucoes() const { return reconstrucoes_; }
  QTreeWidgetItem* ItemDaChave(const std::string& chave) const;

 signals:
  void Fechar();

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  bool event(QEvent* e) override;
  bool eventFilter(QObject* alvo, QEvent* e) override;

 private:
  void Limpou() override;
  void Adicionou(const NoRef& no) override;
  void MudouImagem(const NoRef& no) override;
  void Posiciona();
  void CriaFilhos();
  void DefineAparencia();
  void DefineTeclado();
  void Conecta();
  void MostraErro(int numero, const std::string& descricao);
  // After a build: the failure where the list is, or the list itself; the recorded flag set aside.
  void MostraResultado(const std::string& erro);

  ControleConsistencia logica_;
  QPushButton* butFechar_;
  QGroupBox *frame1_, *frame2_, *frame3_;
  QTreeWidget* listaDeLocais_;
  QLabel *label1_, *label2_;
  QPlainTextEdit* mensagem_;
  QLabel* erroDaLista_;  // over the list when the build failed
  std::map<std::string, QTreeWidgetItem*> itens_;
  bool reconstruindo_ = false;
  int reconstrucoes_ = 0;
  std::string ultimoErro_;
  ObjetoVivo vivo_;
};

// The three images of the tree: 1 yellow diamond, 2 red cross, 3 blank; 10 by 10 pixels.
QIcon ImagemDaLista(int indice);

}  // namespace kv

KV_PUBLICO_FIM
