#include "ui/kvctlconsistencia.h"

#include <QDynamicPropertyChangeEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "control/entrada.h"
#include "platform/erro.h"

namespace kv {
namespace {

constexpr char kPropriedadeAcentuada[] = "Declaração";
const QColor kAzulEscuro(0, 0, 128);
const QColor kCinzaTransparente(192, 192, 192);

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

// The system's texts break lines with CR LF; Qt's widgets want LF alone.
QString ParaTela(const std::string& s) {
  return Q(s).replace("\r\n", "\n");
}

Variant DeQVariant(const QVariant& v) {
  switch (v.typeId()) {
    case QMetaType::UnknownType:
      return Variant();
    case QMetaType::Nullptr:
      return Variant::Nulo();
    case QMetaType::Bool:
      return Variant::Bool(v.toBool());
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::UChar:
      return Variant::Long(v.toInt());
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
      return Variant::Dbl(v.toDouble());
    default:
      return Variant::Str(v.toString().toStdString());
  }
}

QVariant ParaQVariant(const Variant& v) {
  switch (v.tipo()) {
    case Variant::Tipo::Empty:
      return QVariant();
    case Variant::Tipo::Null:
      return QVariant::fromValue(nullptr);
    case Variant::Tipo::Boolean:
      return v.AsBool();
    case Variant::Tipo::String:
      return Q(v.AsString());
    case Variant::Tipo::Double:
      return v.AsDouble();
    case Variant::Tipo::Currency:
      return v.AsCurrency().ToDouble();
    default:
      return static_cast<int>(v.AsInt());
  }
}

// The message panel and labels as the logic's Texto: the exact text is kept, the widget shows it.
template <class W>
class TextoDeWidget : public Texto {
 public:
  TextoDeWidget(W* w, void (W::*mostra)(const QString&), std::string inicial = "")
      : w_(w), mostra_(mostra), texto_(std::move(inicial)) {}
  void Define(const std::string& t) override {
    texto_ = t;
    (w_->*mostra_)(ParaTela(t));
  }
  std::string Valor() const override { return texto_; }

 private:
  W* w_;
  void (W::*mostra_)(const QString&);
  std::string texto_;
};

class CaixaQt : public CaixaMensagem {
 public:
  explicit CaixaQt(QWidget* pai) : pai_(pai) {}
  int Mostra(const std::string& texto, int estilo, const std::string& titulo) override {
    QMessageBox caixa(estilo == kCaixaCritico ? QMessageBox::Critical : QMessageBox::Information, Q(titulo),
                      ParaTela(texto), QMessageBox::Ok, pai_);
    caixa.exec();
    // OK is the only button, so Escape and closing the box also answer it.
    return caixa.clickedButton() == caixa.button(QMessageBox::Ok) ? kBotaoOk : 0;
  }

 private:
  QWidget* pai_;
};

}  // namespace

QIcon ImagemDaLista(int indice) {
  // Drawn on light grey, the list's transparent colour, which the mask then removes.
  QPixmap p(10, 10);
  p.fill(kCinzaTransparente);
  QPainter g(&p);
  if (indice == kImagemCabecalho) {
    g.setPen(QColor(128, 128, 0));
    g.setBrush(QColor(255, 255, 0));
    g.drawPolygon(QPolygon({QPoint(5, 0), QPoint(9, 5), QPoint(5, 9), QPoint(0, 5)}));
  } else if (indice == kImagemAberta) {
    g.setPen(QPen(QColor(255, 0, 0), 2));
    g.drawLine(1, 1, 8, 8);
    g.drawLine(8, 1, 1, 8);
  }
  g.end();
  p.setMask(p.createMaskFromColor(kCinzaTransparente));
  return QIcon(p);
}

kvCtlConsistencia::kvCtlConsistencia(QWidget* pai) : QWidget(pai) {
  setObjectName("kvCtlConsistencia");
  // The design positions were laid out for an 8-point font.
  QFont fonte = font();
  fonte.setPointSize(8);
  setFont(fonte);
  CriaFilhos();
  DefineAparencia();
  DefineTeclado();
  logica_.DefineInterface(
      std::make_shared<TextoDeWidget<QPlainTextEdit>>(mensagem_, &QPlainTextEdit::setPlainText),
      std::make_shared<TextoDeWidget<QLabel>>(label1_, &QLabel::setText, "Label1"),
      std::make_shared<TextoDeWidget<QLabel>>(label2_, &QLabel::setText, "Label2"),
      std::make_shared<CaixaQt>(this));
  logica_.ListaDeLocais().DefineObservador(this);
  Conecta();
  const double escala = logicalDpiX() / 1440.0;
  setMinimumSize(qRound(10185 * escala), qRound(6300 * escala));
  resize(minimumSize());
  Posiciona();
}

// The child controls with their names and captions, as the design has them.
void kvCtlConsistencia::CriaFilhos() {
  butFechar_ = new QPushButton("Fechar", this);
  butFechar_->setObjectName("butFechar");
  frame1_ = new QGroupBox("Lista de Inconsistências", this);
  frame1_->setObjectName("Frame1");
  listaDeLocais_ = new QTreeWidget(frame1_);
  listaDeLocais_->setObjectName("ListaDeLocais");
  listaDeLocais_->setHeaderHidden(true);
  listaDeLocais_->setIconSize(QSize(10, 10));
  listaDeLocais_->setExpandsOnDoubleClick(false);
  listaDeLocais_->setFont(QFont("MS Sans Serif"));
  frame2_ = new QGroupBox(this);
  frame2_->setObjectName("Frame2");
  label1_ = new QLabel("Label1", frame2_);
  label1_->setObjectName("Label1");
  label2_ = new QLabel("Label2", frame2_);
  label2_->setObjectName("Label2");
  frame3_ = new QGroupBox("Descrição", this);
  frame3_->setObjectName("Frame3");
  mensagem_ = new QPlainTextEdit(frame3_);
  mensagem_->setObjectName("Mensagem");
  mensagem_->setReadOnly(true);
  mensagem_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  erroDaLista_ = new QLabel(frame1_);
  erroDaLista_->setObjectName("ErroDaLista");
}

// Dark blue captions, word-wrapped labels, opaque children, and the error panel over the list.
void kvCtlConsistencia::DefineAparencia() {
  QPalette azul = palette();
  azul.setColor(QPalette::WindowText, kAzulEscuro);
  for (QWidget* w : std::initializer_list<QWidget*>{frame1_, frame3_, label1_, label2_}) w->setPalette(azul);
  for (QLabel* l : {label1_, label2_, erroDaLista_}) {
    l->setWordWrap(true);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  }
  // Opaque children: their own repaints never reach this control's paint handler.
  for (QWidget* w :
       std::initializer_list<QWidget*>{frame1_, frame2_, frame3_, label1_, label2_, butFechar_, erroDaLista_})
    w->setAutoFillBackground(true);
  QPalette vermelho = erroDaLista_->palette();
  vermelho.setColor(QPalette::WindowText, QColor(160, 0, 0));
  vermelho.setColor(QPalette::Window, QColor(255, 255, 255));
  erroDaLista_->setPalette(vermelho);
  erroDaLista_->hide();
}

// Keyboard: the list, then the description, then Fechar; the arrows explain the item they reach and
// Enter or Space act as a double-click.
void kvCtlConsistencia::DefineTeclado() {
  setTabOrder(listaDeLocais_, mensagem_);
  setTabOrder(mensagem_, butFechar_);
  listaDeLocais_->installEventFilter(this);
  listaDeLocais_->setAccessibleName("Lista de Inconsistências");
  mensagem_->setAccessibleName("Descrição");
  butFechar_->setAccessibleName("Fechar");
  erroDaLista_->setAccessibleName("Erro da verificação");
}

void kvCtlConsistencia::Conecta() {
  connect(listaDeLocais_, &QTreeWidget::itemClicked, this,
          [this](QTreeWidgetItem* item, int) { ListaDeLocais_NodeClick(item); });
  connect(listaDeLocais_, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* atual, QTreeWidgetItem*) {
            if (atual && !atual->data(0, Qt::UserRole).toString().isEmpty()) ListaDeLocais_NodeClick(atual);
          });
  connect(listaDeLocais_, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem*, int) { ListaDeLocais_DblClick(); });
  connect(butFechar_, &QPushButton::clicked, this, [this] { Fecha(); });
}

kvCtlConsistencia::~kvCtlConsistencia() {
  logica_.ListaDeLocais().DefineObservador(nullptr);
}

void kvCtlConsistencia::Posiciona() {
  // Design positions are in twips: 1440 per inch, so 15 per pixel at 96 DPI. They are the starting and
  // smallest size; the room beyond them goes to the list (height, a third of the width) and the
  // description (the rest), the help labels and Fechar keep their size and follow the corner.
  const double escala = logicalDpiX() / 1440.0;
  auto px = [escala](int twips) { return static_cast<int>(twips * escala + 0.5); };
  const int larguraBase = px(10185), alturaBase = px(6300);
  const int dx = std::max(0, width() - larguraBase), dy = std::max(0, height() - alturaBase);
  const int dxLista = dx / 3, dxDescricao = dx - dxLista;
  auto poe = [&](QWidget* w, int x, int y, int l, int a, int mx = 0, int my = 0, int ml = 0, int ma = 0) {
    w->setGeometry(px(x) + mx, px(y) + my, px(l) + ml, px(a) + ma);
  };
  poe(butFechar_, 8835, 5880, 1245, 345, dx, dy);
  poe(frame1_, 0, 0, 3675, 5805, 0, 0, dxLista, dy);
  poe(listaDeLocais_, 120, 240, 3405, 5415, 0, 0, dxLista, dy);
  erroDaLista_->setGeometry(listaDeLocais_->geometry());
  poe(frame2_, 3750, 2910, 6315, 2895, dxLista, dy, dxDescricao, 0);
  poe(label1_, 270, 180, 5745, 1215, 0, 0, dxDescricao, 0);
  poe(label2_, 270, 1530, 5715, 1305, 0, 0, dxDescricao, 0);
  poe(frame3_, 3750, 0, 6315, 2895, dxLista, 0, dxDescricao, dy);
  poe(mensagem_, 150, 270, 6015, 2445, 0, 0, dxDescricao, dy);
}

void kvCtlConsistencia::resizeEvent(QResizeEvent* e) {
  Posiciona();
  QWidget::resizeEvent(e);
}

bool kvCtlConsistencia::eventFilter(QObject* alvo, QEvent* e) {
  if (alvo == listaDeLocais_ && e->type() == QEvent::KeyPress) {
    int tecla = static_cast<QKeyEvent*>(e)->key();
    if (tecla == Qt::Key_Return || tecla == Qt::Key_Enter || tecla == Qt::Key_Space) {
      ListaDeLocais_DblClick();
      return true;
    }
  }
  return QWidget::eventFilter(alvo, e);
}

QVariant kvCtlConsistencia::Declaracao() const {
  return ParaQVariant(logica_.Declaracao());
}
void kvCtlConsistencia::DefineDeclaracao(const QVariant& v) {
  logica_.DefineDeclaracao(DeQVariant(v));
  if (property(kPropriedadeAcentuada) != v) setProperty(kPropriedadeAcentuada, v);
}
QVariant kvCtlConsistencia::IE() const {
  return ParaQVariant(logica_.IE());
}
void kvCtlConsistencia::DefineIE(const QVariant& v) {
  logica_.DefineIE(DeQVariant(v));
}
QVariant kvCtlConsistencia::Deducoes() const {
  return ParaQVariant(logica_.Deducoes());
}
void kvCtlConsistencia::DefineDeducoes(const QVariant& v) {
  logica_.DefineDeducoes(DeQVariant(v));
}
QVariant kvCtlConsistencia::CNAE() const {
  return ParaQVariant(logica_.CNAE());
}
void kvCtlConsistencia::DefineCNAE(const QVariant& v) {
  logica_.DefineCNAE(DeQVariant(v));
}

bool kvCtlConsistencia::event(QEvent* e) {
  if (e->type() == QEvent::DynamicPropertyChange &&
      static_cast<QDynamicPropertyChangeEvent*>(e)->propertyName() == kPropriedadeAcentuada) {
    QVariant v = property(kPropriedadeAcentuada);
    if (ParaQVariant(logica_.Declaracao()) != v) logica_.DefineDeclaracao(DeQVariant(v));
  }
  return QWidget::event(e);
}

QTreeWidgetItem* kvCtlConsistencia::ItemDaChave(const std::string& chave) const {
  auto it = itens_.find(chave);
  return it == itens_.end() ? nullptr : it->second;
}

void kvCtlConsistencia::ListaDeLocais_NodeClick(QTreeWidgetItem* item) {
  if (!item) return;
  NoRef no = logica_.ListaDeLocais().Busca(item->data(0, Qt::UserRole).toString().toStdString());
  try {
    logica_.ListaDeLocais_NodeClick(no);
  } catch (const Erro& e) {
    // No host call waits for a click: the panel tells the user instead.
    MostraErro(e.numero(), e.descricao());
  }
}

void kvCtlConsistencia::MostraErro(int numero, const std::string& descricao) {
  logica_.Mensagem().Define("Erro " + std::to_string(numero) + ": " + descricao);
}

void kvCtlConsistencia::paintEvent(QPaintEvent* e) {
  // Only a redraw of the control's own surface counts (shown, exposed, resized): a repaint that lies
  // wholly under child controls is theirs, so a rebuild, which repaints children, never causes another.
  QRegion filhos;
  for (QWidget* w : std::initializer_list<QWidget*>{frame1_, frame2_, frame3_, butFechar_})
    if (w->isVisible()) filhos += w->geometry();
  bool propria = !(e->region() - filhos).isEmpty();
  if (propria && !reconstruindo_) {
    reconstruindo_ = true;
    try {
      if (logica_.Pinta()) {
        ++reconstrucoes_;
        ultimoErro_.clear();
        MostraResultado(logica_.MontagemFalhou() ? "O banco de dados não pôde ser aberto." : "");
      }
    } catch (const Erro& erro) {
      ++reconstrucoes_;
      // Shown once per distinct error: the same failure at every repaint would only flicker.
      std::string assinatura = std::to_string(erro.numero()) + erro.descricao();
      if (assinatura != ultimoErro_) {
        MostraErro(erro.numero(), erro.descricao());
        MostraResultado("Erro " + std::to_string(erro.numero()) + ": " + erro.descricao());
      }
      ultimoErro_ = assinatura;
    }
    reconstruindo_ = false;
  }
  QWidget::paintEvent(e);
}

void kvCtlConsistencia::MontaInconsistencias() {
  try {
    logica_.MontaInconsistencias();
  } catch (const Erro& e) {
    MostraResultado("Erro " + std::to_string(e.numero()) + ": " + e.descricao());
    throw;
  }
  MostraResultado(logica_.MontagemFalhou() ? "O banco de dados não pôde ser aberto." : "");
}

void kvCtlConsistencia::MostraResultado(const std::string& erro) {
  if (erro.empty()) {
    erroDaLista_->hide();
  } else {
    erroDaLista_->setText(ParaTela("A verificação não pôde ser feita:\r\n\r\n" + erro +
                                   "\r\n\r\nFechar grava a declaração como inconsistente."));
    erroDaLista_->show();
    erroDaLista_->raise();
  }
  const std::string& aviso = logica_.AvisoRegistro();
  if (!aviso.empty())
    mensagem_->setPlainText(ParaTela(logica_.Mensagem().Valor() +
                                     "\r\n\r\nA declaração estava gravada como "
                                     "consistente, mas " +
                                     aviso + "."));
}

bool kvCtlConsistencia::Fecha() {
  try {
    if (!MostrouMsg()) return false;
  } catch (const Erro& e) {
    MostraErro(e.numero(), e.descricao());
    CaixaQt(this).Mostra("Erro " + std::to_string(e.numero()) + ": " + e.descricao(), kCaixaCritico,
                         "Atenção!");
    return false;
  }
  emit Fechar();
  return true;
}

void kvCtlConsistencia::Limpou() {
  listaDeLocais_->clear();
  itens_.clear();
}

void kvCtlConsistencia::Adicionou(const NoRef& no) {
  auto* item =
      no->pai.empty() ? new QTreeWidgetItem(listaDeLocais_) : new QTreeWidgetItem(ItemDaChave(no->pai));
  item->setText(0, Q(no->texto));
  item->setIcon(0, ImagemDaLista(no->imagem));
  item->setData(0, Qt::UserRole, Q(no->chave));
  item->setData(0, Qt::UserRole + 1, no->imagem);
  itens_[no->chave] = item;
  if (!no->pai.empty()) ItemDaChave(no->pai)->setExpanded(true);
}

void kvCtlConsistencia::MudouImagem(const NoRef& no) {
  if (QTreeWidgetItem* item = ItemDaChave(no->chave)) {
    item->setIcon(0, ImagemDaLista(no->imagem));
    item->setData(0, Qt::UserRole + 1, no->imagem);
  }
}

}  // namespace kv

namespace kv {
std::shared_ptr<Componente> CriaControleVisivel() {
  return std::make_shared<kvCtlConsistencia>();
}
}  // namespace kv
