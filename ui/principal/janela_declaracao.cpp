// From a row to its declaration: the visible control where warnings are accepted and the key recorded,
// the row checked again once it closes; a Jet file's offer to import it; the report and the versions.
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>

#include "control/controle.h"
#include "jet/importacao.h"
#include "platform/arquivo.h"
#include "platform/configuracao.h"
#include "platform/db/sqlite_banco.h"
#include "report/html.h"
#include "ui/janela.h"
#include "ui/principal/importacao.h"
#include "ui/principal/janela_principal.h"
#include "ui/principal/textos.h"

namespace kv {
namespace {

// The checks on this thread read the declaration's database and fiscal year from this run's values: the
// host's KV.ini is never written.
void DefineBancoEExercicio(const std::string& banco, int exercicio) {
  DefineValorDaExecucao(kApp, "DB", "DbAtual", banco);
  DefineValorDaExecucao(kApp, "Exercicio", "ExercicioAtual", std::to_string(exercicio));
}

}  // namespace

JanelaConsistencia* JanelaPrincipal::Painel() const {
  return painel_;
}

void JanelaPrincipal::AbreAtual() {
  const QModelIndex i = tabela_->currentIndex();
  if (i.isValid()) AbreLinha(filtro_->mapToSource(i).row());
}

void JanelaPrincipal::AbreLinha(int linha) {
  const ArquivoDaCarteira& a = modelo_->ArquivoDa(linha);
  if (!modelo_->ResultadoDa(linha).verificacao) {
    QMessageBox::warning(this, U("Arquivo ilegível"),
                         U("“") + modelo_->NomeDa(linha) + U("” não pode ser verificado:\n\n") +
                             Visivel(a.erro ? a.erro->descricao : ""));
    return;
  }
  if (a.jet)
    ImportaJet(linha);
  else
    AbreDeclaracao(linha);
}

void JanelaPrincipal::AbreDeclaracao(int linha) {
  if (painel_) return painel_->raise();
  const std::string declaracao = modelo_->ResultadoDa(linha).verificacao->declaracao;
  DefineBancoEExercicio(modelo_->ArquivoDa(linha).caminho, exercicioDaExecucao_);
  auto* painel = new JanelaConsistencia(declaracao, this);
  painel->setWindowFlag(Qt::Window);
  // One declaration at a time: the control's state is the thread's.
  painel->setWindowModality(Qt::WindowModal);
  painel->setAttribute(Qt::WA_DeleteOnClose);
  painel->setWindowTitle(painel->windowTitle() + U(" — ") + modelo_->NomeDa(linha));
  painel_ = painel;
  // Once the control is gone (its final check made, its state freed), the row shows what was recorded.
  connect(painel, &QObject::destroyed, this, [this, linha, geracao = geracao_] {
    activateWindow();  // the keyboard goes back to the row
    tabela_->setFocus();
    QTimer::singleShot(0, this, [this, linha, geracao] {
      if (geracao == geracao_) Reverifica(linha);
    });
  });
  painel->show();
}

void JanelaPrincipal::Reverifica(int linha) {
  const ArquivoDaCarteira& a = modelo_->ArquivoDa(linha);
  const std::string declaracao = modelo_->ResultadoDa(linha).verificacao->declaracao;
  DefineBancoEExercicio(a.caminho, exercicioDaExecucao_);
  ResultadoVerificacao v;
  {
    ControleConsistencia controle;
    controle.DefineConferirChave(true);  // one declaration: its key is always checked
    controle.DefineDeclaracao(Variant::Str(declaracao));
    v = controle.Verifica(/*explica=*/true);
  }
  v.declaracao = declaracao;
  modelo_->Substitui(linha, std::move(v));
  statusBar()->showMessage(U("Declaração ") + QString::fromStdString(declaracao) + U(" de “") +
                               modelo_->NomeDa(linha) + U("” verificada de novo: ") +
                               NomeDaSituacao(modelo_->SituacaoDa(linha)),
                           15000);
  AtualizaEstado();
}

void JanelaPrincipal::ImportaJet(int linha) {
  const std::string origem = Absoluto(modelo_->ArquivoDa(linha).nome);
  const std::string declaracao = modelo_->ResultadoDa(linha).verificacao->declaracao;
  QString sugestao = QFile::decodeName(origem.c_str());
  sugestao = sugestao.left(sugestao.lastIndexOf('.')) + ".db";
  const QString escolhido = dialogos_->DestinoDaImportacao(this, modelo_->NomeDa(linha), sugestao);
  if (escolhido.isEmpty()) return;
  const std::string destino = Absoluto(QFile::encodeName(escolhido).toStdString());
  if (MesmoArquivo(destino, origem) || jet::EhJet(destino)) {
    QMessageBox::warning(
        this, U("Importar arquivo Jet"),
        U("O destino é um arquivo Jet, que nunca é gravado: escolha um banco SQLite (.db)."));
    return;
  }
  importacao_->Inicia(
      origem, destino, [this, origem, destino, declaracao](const std::string& erro, bool parou) {
        if (parou) return statusBar()->showMessage(U("Importação cancelada: nada foi gravado."), 15000);
        if (!erro.empty()) {
          QMessageBox::critical(this, U("Importar arquivo Jet"),
                                U("O arquivo não foi importado; nada foi gravado.\n\n") + Visivel(erro));
          return;
        }
        statusBar()->showMessage(
            U("“") + Visivel(origem) + U("” importado para “") + Visivel(destino) + U("”"), 15000);
        pendente_ = {destino, declaracao};
        Abre({destino}, /*acrescenta=*/true);
      });
}

void JanelaPrincipal::ExportaRelatorio() {
  const Carteira* carteira = modelo_->carteira();
  if (!carteira || Verificando()) return;
  const QString escolhido =
      dialogos_->Relatorio(this, QDir::home().filePath(U("relatório de consistência.html")));
  if (escolhido.isEmpty()) return;
  const std::string destino = QFile::encodeName(escolhido).toStdString();
  bool banco = EhBancoSqlite(destino) || jet::EhJet(destino);
  for (const ArquivoDaCarteira& a : carteira->arquivos()) banco = banco || MesmoArquivo(destino, a.nome);
  if (banco) {
    QMessageBox::warning(
        this, U("Exportar relatório HTML"),
        U("“") + Visivel(destino) + U("” é um banco de dados: escolha outro nome para o relatório."));
    return;
  }
  try {
    GravaRelatorioDaCarteira(destino, *carteira, modelo_->Resumo(interrompida_), modelo_->resultados(),
                             std::to_string(exercicioDaExecucao_));
    statusBar()->showMessage(U("Relatório gravado em “") + Visivel(destino) + U("”"), 15000);
  } catch (const std::exception& e) {
    QMessageBox::critical(this, U("Exportar relatório HTML"),
                          U("O relatório não foi gravado:\n\n") + Visivel(e.what()));
  }
}

void JanelaPrincipal::Sobre() {
  QMessageBox::about(
      this, U("Sobre"),
      U("<p><b>Consistência das declarações</b> — kvconsistencia ") + KV_VERSAO +
          U("</p><p>Verifica as declarações do regime Tarvo antes da transmissão: abre bancos e pastas, "
            "mostra onde cada declaração está e, numa declaração aberta, aceita avisos e grava a chave de "
            "consistência.</p><p>Qt ") +
          qVersion() + ", SQLite " + QString::fromStdString(VersaoSqlite()) + ", libmdb " +
          QString::fromStdString(jet::VersaoLibmdb()) + U("</p><p>Configurações deste programa: ") +
          preferencias_.Arquivo().toHtmlEscaped() + "</p>");
}

}  // namespace kv
