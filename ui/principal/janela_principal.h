// The desktop program's main window: a portfolio of declaration databases opened from files and folders,
// every declaration's state in one table that fills as the checks run in the background, and from a row
// the visible control of that declaration, where warnings are accepted and the key recorded.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <memory>
#include <string>
#include <vector>

#include "ui/principal/dialogos.h"
#include "ui/principal/modelo.h"
#include "ui/principal/preferencias.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QStackedWidget;
class QTableView;
class QTimer;

namespace kv {

class ExecucaoDaCarteira;
class ImportacaoDoJet;
class JanelaConsistencia;

class JanelaPrincipal : public QMainWindow {
 public:
  explicit JanelaPrincipal(std::unique_ptr<Dialogos> dialogos = nullptr, QWidget* pai = nullptr);
  ~JanelaPrincipal() override;

  // Opens files and folders (paths byte for byte as the file system names them): a new portfolio, or,
  // with `acrescenta`, these added to the one open. Either way the whole portfolio is checked again, so
  // the table, its totals and the report always describe one run. A path that does not exist is said in
  // the status bar and leaves the recent list.
  void Abre(const std::vector<std::string>& caminhos, bool acrescenta = false);
  // The fiscal year the checks use; changing it checks the portfolio again.
  void DefineExercicio(int ano);
  int Exercicio() const;
  // Whether a run is under way.
  bool Verificando() const;
  ModeloDaCarteira& Modelo() { return *modelo_; }
  QTableView* Tabela() const { return tabela_; }
  // The declaration open in the visible control, if any.
  JanelaConsistencia* Painel() const;
  // The totals as the status bar shows them.
  QString Totais() const;

 protected:
  void closeEvent(QCloseEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dropEvent(QDropEvent* e) override;

 private:
  // Building the window (janela_principal.cpp).
  QAction* Acao(const QString& texto, const QList<QKeySequence>& teclas, void (JanelaPrincipal::*f)());
  // A timer that calls `f` once, `ms` after it was last started.
  QTimer* Espera(int ms, void (JanelaPrincipal::*f)());
  void CriaAcoes();
  void CriaMenus();
  void CriaBarraDeFerramentas();
  void CriaCentro();
  void CriaBarraDeEstado();
  void MostraRecentes();
  int ExercicioInicial() const;
  void AbreBancos();
  void AbrePasta();
  void MudouExercicio();
  void MudouConferirChaves();
  void FiltraProblemas();
  void Procura();
  void FocaExercicio();
  void FocaBusca();
  void AtualizaTitulo();

  // The run (janela_execucao.cpp).
  void Verifica();
  void Cancela();
  void AoLer(size_t feitos, size_t total);
  void AoPreparar(std::shared_ptr<const Carteira> carteira);
  void AoChegar(std::vector<ResultadoDaCarteira>& resultados);
  void AoTerminar(bool interrompida);
  void AoFalhar(const std::string& motivo);
  void AtualizaEstado();
  void SelecionaPendente(int desde);

  // A declaration opened, the Jet import, the report (janela_declaracao.cpp).
  void AbreAtual();
  void AbreLinha(int linha);
  void AbreDeclaracao(int linha);
  void ImportaJet(int linha);
  void Reverifica(int linha);
  void ExportaRelatorio();
  void Sobre();

  std::unique_ptr<Dialogos> dialogos_;
  Preferencias preferencias_;
  ModeloDaCarteira* modelo_;
  FiltroDaCarteira* filtro_;
  ExecucaoDaCarteira* execucao_;
  ImportacaoDoJet* importacao_;
  QStackedWidget* centro_;
  QLabel* convite_;
  QTableView* tabela_;
  QSpinBox* exercicio_;
  QLineEdit* busca_;
  QLabel* totais_;
  QProgressBar* progresso_;
  QPushButton* cancelar_;
  QTimer *esperaExercicio_, *esperaBusca_;
  QMenu* recentes_;
  QAction *abrirBanco_, *abrirPasta_, *exportar_, *sair_, *soProblemas_, *procurar_, *abrirDeclaracao_,
      *verificarDeNovo_, *cancelarAcao_, *conferirChaves_, *mudarExercicio_, *sobre_;
  QPointer<JanelaConsistencia> painel_;

  std::vector<std::string> dados_;  // the paths of the portfolio, as given
  int geracao_ = 0;                 // bumped by every run: a row number holds within its run only
  int exercicioDaExecucao_ = 0;
  bool interrompida_ = false;
  struct {
    std::string arquivo, declaracao;  // a declaration to select when its row arrives (after an import)
  } pendente_;
};

}  // namespace kv
