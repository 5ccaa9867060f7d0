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

JanelaConsistencia::JanelaConsistencia(const std::string& declaracao, QWidget* pai) : QWidget(pai) {
  setWindowTitle(QString::fromStdString("Consistência da Declaração " + declaracao));
  controle_ = new kvCtlConsistencia;
  controle_->DefineMostraValores(true);  // the window shows the figures under each message
  // Below its starting size the control scrolls instead of holding the window open.
  auto* rolagem = new QScrollArea(this);
  rolagem->setWidget(controle_);
  rolagem->setWidgetResizable(true);
  rolagem->setFrameShape(QFrame::NoFrame);
  barra_ = new QLabel(this);
  barra_->setObjectName("BarraDeEstado");
  barra_->setWordWrap(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 4);
  layout->addWidget(rolagem, 1);
  layout->addWidget(barra_);
  setMinimumSize(320, 240);
  resize(controle_->sizeHint().expandedTo(controle_->minimumSize()) + QSize(16, 40));

  lista_ = controle_->findChild<QTreeWidget*>("ListaDeLocais");
  fechar_ = controle_->findChild<QPushButton*>("butFechar");
  if (lista_) lista_->installEventFilter(this);
  if (lista_) lista_->viewport()->installEventFilter(this);
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
  int avisos = 0, erros = 0, aceitos = 0;
  for (const GrupoResultado& g : r.arvore)
    for (const ItemResultado& item : g.itens) {
      if (item.imagem == kImagemAceita)
        ++aceitos;
      else if (item.podeSerAceita)
        ++avisos;
      else
        ++erros;
    }
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
  barra_->setText(aviso_.isEmpty() ? estado : aviso_ + "  (" + estado + ")");
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
