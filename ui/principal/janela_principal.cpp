// Building the main window: its actions (each with a key), menus, tool bar, table and status bar, and
// what comes in from outside it (paths, dropped files, the settings).
#include "ui/principal/janela_principal.h"

#include <sys/stat.h>

#include <QAction>
#include <QCloseEvent>
#include <QDate>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <algorithm>
#include <filesystem>

#include "platform/arquivo.h"
#include "platform/configuracao.h"
#include "ui/janela.h"
#include "ui/principal/execucao.h"
#include "ui/principal/importacao.h"
#include "ui/principal/textos.h"

namespace kv {

JanelaPrincipal::JanelaPrincipal(std::unique_ptr<Dialogos> dialogos, QWidget* pai)
    : QMainWindow(pai), dialogos_(dialogos ? std::move(dialogos) : std::make_unique<Dialogos>()) {
  setObjectName("JanelaPrincipal");
  modelo_ = new ModeloDaCarteira(this);
  filtro_ = new FiltroDaCarteira(this);
  filtro_->setSourceModel(modelo_);
  execucao_ = new ExecucaoDaCarteira(
      {.lendo = [this](size_t f, size_t t) { AoLer(f, t); },
       .preparada = [this](std::shared_ptr<const Carteira> c) { AoPreparar(std::move(c)); },
       .chegaram = [this](std::vector<ResultadoDaCarteira>& r) { AoChegar(r); },
       .terminou = [this](bool interrompida) { AoTerminar(interrompida); },
       .falhou = [this](const std::string& motivo) { AoFalhar(motivo); }},
      this);
  importacao_ = new ImportacaoDoJet(this);
  CriaAcoes();
  CriaMenus();
  CriaCentro();
  CriaBarraDeFerramentas();
  CriaBarraDeEstado();
  setAcceptDrops(true);
  if (!restoreGeometry(preferencias_.Geometria())) resize(900, 560);
  AtualizaTitulo();
  AtualizaEstado();
}

JanelaPrincipal::~JanelaPrincipal() = default;

QAction* JanelaPrincipal::Acao(const QString& texto, const QList<QKeySequence>& teclas,
                               void (JanelaPrincipal::*f)()) {
  auto* a = new QAction(texto, this);
  a->setShortcuts(teclas);
  connect(a, &QAction::triggered, this, f);
  addAction(a);  // the key works wherever the focus is in the window
  return a;
}

QTimer* JanelaPrincipal::Espera(int ms, void (JanelaPrincipal::*f)()) {
  auto* t = new QTimer(this);
  t->setSingleShot(true);
  t->setInterval(ms);
  connect(t, &QTimer::timeout, this, f);
  return t;
}

void JanelaPrincipal::CriaAcoes() {
  abrirBanco_ = Acao(U("Abrir &banco…"), {QKeySequence::Open}, &JanelaPrincipal::AbreBancos);
  abrirPasta_ = Acao(U("Abrir &pasta…"), {QKeySequence("Ctrl+Shift+O")}, &JanelaPrincipal::AbrePasta);
  exportar_ =
      Acao(U("&Exportar relatório HTML…"), {QKeySequence("Ctrl+E")}, &JanelaPrincipal::ExportaRelatorio);
  sair_ = new QAction(U("&Sair"), this);
  sair_->setShortcut(QKeySequence("Ctrl+Q"));
  connect(sair_, &QAction::triggered, this, &QWidget::close);
  addAction(sair_);
  soProblemas_ =
      Acao(U("Só com &problemas"), {QKeySequence("Ctrl+Shift+P")}, &JanelaPrincipal::FiltraProblemas);
  soProblemas_->setCheckable(true);
  procurar_ = Acao(U("P&rocurar"), {QKeySequence::Find}, &JanelaPrincipal::FocaBusca);
  abrirDeclaracao_ = new QAction(U("&Abrir a declaração"), this);
  abrirDeclaracao_->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
  abrirDeclaracao_->setShortcutContext(Qt::WidgetShortcut);  // Enter on the table only
  connect(abrirDeclaracao_, &QAction::triggered, this, &JanelaPrincipal::AbreAtual);
  verificarDeNovo_ = Acao(U("&Verificar de novo"), {QKeySequence::Refresh}, &JanelaPrincipal::Verifica);
  cancelarAcao_ =
      Acao(U("&Cancelar a verificação"), {QKeySequence(Qt::Key_Escape)}, &JanelaPrincipal::Cancela);
  conferirChaves_ = Acao(U("Conferir as &chaves gravadas"), {QKeySequence("Ctrl+K")},
                         &JanelaPrincipal::MudouConferirChaves);
  conferirChaves_->setCheckable(true);
  conferirChaves_->setChecked(preferencias_.ConferirChaves());
  conferirChaves_->setToolTip(
      U("Confere também a chave das declarações sem achados (custa algumas verificações por declaração)"));
  mudarExercicio_ =
      Acao(U("Mudar o e&xercício"), {QKeySequence("Ctrl+Shift+E")}, &JanelaPrincipal::FocaExercicio);
  sobre_ = Acao(U("&Sobre"), {QKeySequence(Qt::Key_F1)}, &JanelaPrincipal::Sobre);
}

void JanelaPrincipal::CriaMenus() {
  QMenu* arquivo = menuBar()->addMenu(U("&Arquivo"));
  arquivo->addActions({abrirBanco_, abrirPasta_});
  recentes_ = arquivo->addMenu(U("&Recentes"));
  connect(recentes_, &QMenu::aboutToShow, this, &JanelaPrincipal::MostraRecentes);
  MostraRecentes();
  arquivo->addSeparator();
  arquivo->addAction(exportar_);
  arquivo->addSeparator();
  arquivo->addAction(sair_);
  menuBar()->addMenu(U("&Exibir"))->addActions({soProblemas_, procurar_});
  QMenu* verificar = menuBar()->addMenu(U("&Verificar"));
  verificar->addActions({abrirDeclaracao_, verificarDeNovo_, cancelarAcao_});
  verificar->addSeparator();
  verificar->addActions({mudarExercicio_, conferirChaves_});
  menuBar()->addMenu(U("A&juda"))->addAction(sobre_);
}

void JanelaPrincipal::MostraRecentes() {
  recentes_->clear();
  const std::vector<std::string> recentes = preferencias_.Recentes();
  for (size_t i = 0; i < recentes.size(); ++i) {
    const std::string caminho = recentes[i];
    QAction* a = recentes_->addAction(QString("&%1 %2").arg(i + 1).arg(Visivel(caminho)));
    connect(a, &QAction::triggered, this, [this, caminho] { Abre({caminho}); });
  }
  if (recentes.empty()) recentes_->addAction(U("(nenhum)"))->setEnabled(false);
  recentes_->addSeparator();
  QAction* limpar = recentes_->addAction(U("&Limpar a lista"));
  limpar->setEnabled(!recentes.empty());
  connect(limpar, &QAction::triggered, this, [this] { preferencias_.LimpaRecentes(); });
}

void JanelaPrincipal::CriaBarraDeFerramentas() {
  QToolBar* barra = addToolBar(U("Ferramentas"));
  barra->setObjectName("Ferramentas");
  barra->setMovable(false);
  barra->addActions({abrirBanco_, abrirPasta_});
  barra->addSeparator();
  auto* rotulo = new QLabel(U(" E&xercício: "), barra);
  exercicio_ = new QSpinBox(barra);
  exercicio_->setRange(1990, 2100);
  exercicio_->setKeyboardTracking(false);  // a year typed digit by digit is checked once, when it is whole
  exercicio_->setValue(ExercicioInicial());
  exercicio_->setAccessibleName(U("Exercício"));
  exercicio_->setToolTip(U("O exercício das verificações; mudá-lo verifica tudo de novo"));
  rotulo->setBuddy(exercicio_);
  barra->addWidget(rotulo);
  barra->addWidget(exercicio_);
  // The arrows change the year a step at a time: the portfolio is checked once they rest.
  esperaExercicio_ = Espera(400, &JanelaPrincipal::MudouExercicio);
  connect(exercicio_, &QSpinBox::valueChanged, esperaExercicio_, qOverload<>(&QTimer::start));
  barra->addSeparator();
  barra->addAction(soProblemas_);
  busca_ = new QLineEdit(barra);
  busca_->setPlaceholderText(U("Procurar (Ctrl+F)"));
  busca_->setAccessibleName(U("Procurar"));
  busca_->setToolTip(U("Mostra só as linhas cujo arquivo, declaração ou situação tem este texto"));
  busca_->setClearButtonEnabled(true);
  busca_->setMaximumWidth(260);
  barra->addWidget(busca_);
  esperaBusca_ = Espera(150, &JanelaPrincipal::Procura);  // the filter runs once the typing rests
  connect(busca_, &QLineEdit::textChanged, esperaBusca_, qOverload<>(&QTimer::start));
  barra->addSeparator();
  barra->addActions({verificarDeNovo_, exportar_});
}

void JanelaPrincipal::CriaCentro() {
  centro_ = new QStackedWidget(this);
  convite_ = new QLabel(centro_);
  convite_->setAlignment(Qt::AlignCenter);
  convite_->setWordWrap(true);
  convite_->setAccessibleName(U("Nenhum banco aberto"));
  tabela_ = new QTableView(centro_);
  tabela_->setObjectName("Declaracoes");
  tabela_->setAccessibleName(U("Declarações"));
  tabela_->setAccessibleDescription(U("Enter ou duplo clique abre a declaração"));
  tabela_->setModel(filtro_);
  tabela_->setSortingEnabled(true);
  tabela_->sortByColumn(ModeloDaCarteira::kArquivo, Qt::AscendingOrder);
  tabela_->setSelectionBehavior(QAbstractItemView::SelectRows);
  tabela_->setSelectionMode(QAbstractItemView::SingleSelection);
  tabela_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tabela_->setTabKeyNavigation(false);  // Tab leaves the table, as in any form
  tabela_->setAlternatingRowColors(true);
  tabela_->setWordWrap(false);
  tabela_->verticalHeader()->hide();
  tabela_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  tabela_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
  QHeaderView* cabecalho = tabela_->horizontalHeader();
  cabecalho->setSectionResizeMode(QHeaderView::Interactive);
  cabecalho->setStretchLastSection(false);
  // The state takes the room left: an unreadable file's reason is its longest text.
  cabecalho->setSectionResizeMode(ModeloDaCarteira::kSituacao, QHeaderView::Stretch);
  cabecalho->resizeSection(ModeloDaCarteira::kArquivo, 300);
  for (int c : {ModeloDaCarteira::kDeclaracao, ModeloDaCarteira::kErros, ModeloDaCarteira::kAvisos})
    cabecalho->resizeSection(c, 90);
  tabela_->addAction(abrirDeclaracao_);
  connect(tabela_, &QAbstractItemView::activated, this,
          &JanelaPrincipal::AbreAtual);  // double-click, or Enter
  centro_->addWidget(convite_);
  centro_->addWidget(tabela_);
  setCentralWidget(centro_);
  convite_->setText(Convite());
}

void JanelaPrincipal::CriaBarraDeEstado() {
  totais_ = new QLabel(this);
  totais_->setAccessibleName(U("Totais"));
  statusBar()->addWidget(totais_, 1);
  progresso_ = new QProgressBar(this);
  progresso_->setAccessibleName(U("Progresso da verificação"));
  progresso_->setMaximumWidth(260);
  progresso_->hide();
  statusBar()->addPermanentWidget(progresso_);
  cancelar_ = new QPushButton(U("Cancelar"), this);
  cancelar_->setAccessibleName(U("Cancelar a verificação"));
  cancelar_->setToolTip(U("Para a verificação depois das declarações em andamento (Esc)"));
  cancelar_->hide();
  connect(cancelar_, &QPushButton::clicked, this, &JanelaPrincipal::Cancela);
  statusBar()->addPermanentWidget(cancelar_);
}

int JanelaPrincipal::ExercicioInicial() const {
  // The host's current fiscal year first (or this run's --exercicio), then the last one chosen here.
  std::string ano;
  try {
    ano = Config().Le(kApp, "Exercicio", "ExercicioAtual", "");
  } catch (const std::exception&) {  // an unreadable KV.ini only costs the suggestion
  }
  const int doHost = ano.size() == 4 ? std::atoi(ano.c_str()) : 0;
  if (doHost >= 1990 && doHost <= 2100) return doHost;
  if (const int ultimo = preferencias_.Exercicio(); ultimo >= 1990 && ultimo <= 2100) return ultimo;
  return QDate::currentDate().year() - 1;  // declarations are made for the year before
}

int JanelaPrincipal::Exercicio() const {
  return exercicio_->value();
}

void JanelaPrincipal::DefineExercicio(int ano) {
  exercicio_->blockSignals(true);
  exercicio_->setValue(ano);
  exercicio_->blockSignals(false);
  MudouExercicio();
}

void JanelaPrincipal::MudouExercicio() {
  esperaExercicio_->stop();
  preferencias_.DefineExercicio(Exercicio());
  if (!dados_.empty() && Exercicio() != exercicioDaExecucao_) Verifica();
}

void JanelaPrincipal::MudouConferirChaves() {
  preferencias_.DefineConferirChaves(conferirChaves_->isChecked());
  if (!dados_.empty()) Verifica();
}

void JanelaPrincipal::FiltraProblemas() {
  filtro_->DefineSoProblemas(soProblemas_->isChecked());
  AtualizaEstado();
}

void JanelaPrincipal::Procura() {
  filtro_->DefineBusca(busca_->text());
  AtualizaEstado();
}

void JanelaPrincipal::FocaExercicio() {
  exercicio_->setFocus(Qt::ShortcutFocusReason);
  exercicio_->selectAll();
}

void JanelaPrincipal::FocaBusca() {
  busca_->setFocus(Qt::ShortcutFocusReason);
  busca_->selectAll();
}

void JanelaPrincipal::AbreBancos() {
  const QString pasta = dados_.empty() ? QString() : QFile::decodeName(dados_.front().c_str());
  std::vector<std::string> caminhos;
  for (const QString& c : dialogos_->Bancos(this, pasta))
    caminhos.push_back(QFile::encodeName(c).toStdString());
  if (!caminhos.empty()) Abre(caminhos);
}

void JanelaPrincipal::AbrePasta() {
  const QString pasta = dialogos_->Pasta(this, QString());
  if (!pasta.isEmpty()) Abre({QFile::encodeName(pasta).toStdString()});
}

void JanelaPrincipal::Abre(const std::vector<std::string>& caminhos, bool acrescenta) {
  if (!acrescenta) dados_.clear();
  QStringList ausentes;
  for (const std::string& c : caminhos) {
    struct stat st {};
    if (::stat(c.c_str(), &st) != 0) {
      ausentes << Visivel(c);
      preferencias_.RetiraRecente(Absoluto(c));
      continue;
    }
    preferencias_.AcrescentaRecente(Absoluto(c));
    if (std::find(dados_.begin(), dados_.end(), c) == dados_.end()) dados_.push_back(c);
  }
  if (!ausentes.isEmpty())
    statusBar()->showMessage(U("Não existe: ") + ausentes.join(", ") + U(" (retirado dos recentes)"), 15000);
  AtualizaTitulo();
  if (!dados_.empty()) Verifica();
}

void JanelaPrincipal::AtualizaTitulo() {
  QString t = U("Consistência das declarações");
  if (!dados_.empty()) {
    const std::string nome = std::filesystem::path(Absoluto(dados_.front())).filename().string();
    t += U(" — ") + Visivel(nome);
    if (dados_.size() > 1) t += U(" e mais ") + QString::number(dados_.size() - 1);
  }
  setWindowTitle(t);
}

void JanelaPrincipal::dragEnterEvent(QDragEnterEvent* e) {
  if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void JanelaPrincipal::dropEvent(QDropEvent* e) {
  std::vector<std::string> caminhos;
  for (const QUrl& u : e->mimeData()->urls())
    if (u.isLocalFile()) caminhos.push_back(QFile::encodeName(u.toLocalFile()).toStdString());
  if (caminhos.empty()) return;
  e->acceptProposedAction();
  Abre(caminhos, /*acrescenta=*/true);
}

void JanelaPrincipal::closeEvent(QCloseEvent* e) {
  // An open declaration makes its final check first, as its own window does when closed.
  if (painel_) painel_->close();
  execucao_->Cancela();
  preferencias_.DefineGeometria(saveGeometry());
  e->accept();
}

}  // namespace kv
