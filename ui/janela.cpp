// The window around the visible control: a status bar that always says where the declaration stands,
// tooltips on the items, keys that work as a person expects, and a size that can shrink.
#include "ui/janela.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/kvctlconsistencia.h"

namespace kv {
namespace {

QString Quantos(int n, const char* um, const char* varios) {
  return QString::number(n) + " " + QString::fromUtf8(n == 1 ? um : varios);
}

}  // namespace

// One line whatever its text: cut with an ellipsis to the window's width, the whole text in the tooltip.
// A wrapped status took height from the control and cut Fechar off.
class BarraDeEstado : public QLabel {
 public:
  explicit BarraDeEstado(QWidget* pai) : QLabel(pai) {
    setObjectName("BarraDeEstado");
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  }
  void DefineTexto(const QString& texto) {
    if (texto == toolTip()) return;
    setToolTip(texto);
    Corta();
  }

 protected:
  void resizeEvent(QResizeEvent* e) override {
    QLabel::resizeEvent(e);
    Corta();
  }

 private:
  void Corta() { setText(fontMetrics().elidedText(toolTip(), Qt::ElideRight, contentsRect().width())); }
};

JanelaConsistencia::JanelaConsistencia(const std::string& declaracao, QWidget* pai) : QWidget(pai) {
  setWindowTitle(QString::fromStdString("Consistência da Declaração " + declaracao));
  controle_ = new kvCtlConsistencia;
  controle_->DefineMostraValores(true);  // the window shows the figures under each message
  // Below its starting size the control scrolls instead of holding the window open.
  auto* rolagem = new QScrollArea(this);
  rolagem->setWidget(controle_);
  rolagem->setWidgetResizable(true);
  rolagem->setFrameShape(QFrame::NoFrame);
  barra_ = new BarraDeEstado(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 4);
  layout->addWidget(rolagem, 1);
  layout->addWidget(barra_);
  setMinimumSize(320, 240);
  resize(controle_->sizeHint().expandedTo(controle_->minimumSize()) + QSize(16, 40));

  lista_ = controle_->findChild<QTreeWidget*>("ListaDeLocais");
  fechar_ = controle_->findChild<QPushButton*>("butFechar");
  if (lista_) {
    lista_->installEventFilter(this);
    lista_->viewport()->installEventFilter(this);
    // The keyboard works from the first moment: once the tree is built, its first finding is current.
    connect(lista_->model(), &QAbstractItemModel::rowsInserted, this,
            [this] { QTimer::singleShot(0, this, &JanelaConsistencia::PoeCorrente); });
    // A refusal is about the item it was said for: it goes when the selection moves on.
    connect(lista_, &QTreeWidget::currentItemChanged, this, [this] {
      if (aviso_.isEmpty()) return;
      aviso_.clear();
      Atualiza();
    });
  }
  if (fechar_) fechar_->installEventFilter(this);
  auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(esc, &QShortcut::activated, this, &QWidget::close);

  controle_->DefineDeclaracao(QString::fromStdString(declaracao));
  connect(controle_, &kvCtlConsistencia::Fechar, this, [this] {
    fechada_ = true;
    if (!fechando_) close();
  });
  // The tree changes on paints, clicks and acceptances: the status follows it.
  auto* relogio = new QTimer(this);
  connect(relogio, &QTimer::timeout, this, &JanelaConsistencia::Atualiza);
  relogio->start(200);
  Atualiza();
}

QString JanelaConsistencia::Estado() const {
  const ResultadoVerificacao r = controle_->Logica().Resultado(/*explica=*/false);
  if (!r.status)
    return QString::fromUtf8(
        "A verificação não pôde ser feita: Fechar grava a declaração como inconsistente.");
  const auto [erros, avisos, aceitos] = ContaAchados(r);
  if (erros > 0)
    return (avisos ? Quantos(avisos, "aviso aberto", "avisos abertos") + ", " : QString()) +
           Quantos(erros, "erro", "erros") + QString::fromUtf8(": corrija ") +
           QString::fromUtf8(erros == 1 ? "o erro" : "os erros") +
           QString::fromUtf8(" no programa de origem");
  if (avisos > 0)
    return Quantos(avisos, "aviso aberto", "avisos abertos") +
           QString::fromUtf8(": aceite com Enter ou duplo clique, ou corrija no programa de origem");
  if (aceitos > 0) return QString::fromUtf8("todos os avisos aceitos: Fechar grava a chave");
  return QString::fromUtf8("nenhuma inconsistência: Fechar grava a chave");
}

void JanelaConsistencia::Atualiza() {
  const QString estado = Estado();
  barra_->DefineTexto(aviso_.isEmpty() ? estado : aviso_ + "  (" + estado + ")");
  for (const NoRef& no : controle_->Logica().ListaDeLocais().Nos()) {
    if (no->pai.empty()) continue;
    QTreeWidgetItem* item = controle_->ItemDaChave(no->chave);
    if (!item) continue;
    const char* dica = no->imagem == kImagemAceita ? "Aviso aceito como exceção."
                       : ControleConsistencia::PodeSerAceita(no->chave)
                           ? "Aviso: Enter ou duplo clique o aceita como exceção."
                           : "Erro: não pode ser aceito; corrija a declaração no programa de origem.";
    item->setToolTip(0, QString::fromUtf8(dica));
  }
}

void JanelaConsistencia::PoeCorrente() {
  if (!lista_ || lista_->currentItem() || lista_->topLevelItemCount() == 0) return;
  QTreeWidgetItem* primeiro = lista_->topLevelItem(0);
  lista_->setCurrentItem(primeiro->childCount() > 0 ? primeiro->child(0) : primeiro);
  if (!focoInicial_) lista_->setFocus();  // only at the start: later the person's focus stays put
  focoInicial_ = true;
}

void JanelaConsistencia::DepoisDoAceite() {
  QTreeWidgetItem* item = lista_ ? lista_->currentItem() : nullptr;
  aviso_.clear();
  if (item && item->parent()) {
    const std::string chave = item->data(0, Qt::UserRole).toString().toStdString();
    NoRef no = controle_->Logica().ListaDeLocais().Busca(chave);
    if (no && no->imagem != kImagemAceita && !ControleConsistencia::PodeSerAceita(chave))
      aviso_ =
          QString::fromUtf8("“") + item->text(0) +
          QString::fromUtf8("” é um erro: não pode ser aceito; corrija a declaração no programa de origem.");
  }
  Atualiza();
}

bool JanelaConsistencia::eventFilter(QObject* alvo, QEvent* e) {
  const bool tecla = e->type() == QEvent::KeyPress;
  const int k = tecla ? static_cast<QKeyEvent*>(e)->key() : 0;
  // Return and Enter press a focused Fechar, as Space does.
  if (alvo == fechar_ && tecla && (k == Qt::Key_Return || k == Qt::Key_Enter)) {
    fechar_->click();
    return true;
  }
  const bool aceite = (tecla && (k == Qt::Key_Return || k == Qt::Key_Enter || k == Qt::Key_Space)) ||
                      e->type() == QEvent::MouseButtonDblClick;
  if (aceite && (alvo == lista_ || (lista_ && alvo == lista_->viewport())))
    QTimer::singleShot(0, this, &JanelaConsistencia::DepoisDoAceite);  // after the control acted on it
  return QWidget::eventFilter(alvo, e);
}

void JanelaConsistencia::closeEvent(QCloseEvent* e) {
  // Closing from the title bar (or Escape) is the same as Fechar: the final check, then the end.
  if (!fechada_) {
    fechando_ = true;
    falhou_ = !controle_->Fecha();
    fechando_ = false;
  }
  e->accept();
}

}  // namespace kv
