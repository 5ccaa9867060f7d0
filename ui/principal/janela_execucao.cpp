// The main window's run: the portfolio checked in the background, its rows as they arrive, the progress
// and the totals.
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTableView>

#include "platform/arquivo.h"
#include "ui/principal/execucao.h"
#include "ui/principal/janela_principal.h"
#include "ui/principal/textos.h"

namespace kv {

bool JanelaPrincipal::Verificando() const {
  return execucao_->Ativa();
}

void JanelaPrincipal::Verifica() {
  if (dados_.empty()) return;
  ++geracao_;
  exercicioDaExecucao_ = Exercicio();
  interrompida_ = false;
  modelo_->Limpa();
  // Each declaration's explanations and figures are kept for the report; checking the keys of clean
  // declarations costs several checks each, so it is the user's choice.
  execucao_->Inicia(dados_, {.explica = true,
                             .conferirChaves = conferirChaves_->isChecked(),
                             .exercicio = std::to_string(exercicioDaExecucao_)});
  centro_->setCurrentWidget(tabela_);
  progresso_->setRange(0, 0);
  progresso_->setFormat(U("lendo os arquivos"));
  progresso_->show();
  cancelar_->show();
  AtualizaEstado();
}

void JanelaPrincipal::Cancela() {
  execucao_->Cancela();
  statusBar()->showMessage(U("Cancelando: as declarações em andamento terminam…"));
}

void JanelaPrincipal::AoLer(size_t feitos, size_t total) {
  progresso_->setRange(0, static_cast<int>(total));
  progresso_->setValue(static_cast<int>(feitos));
  progresso_->setFormat(U("lendo os arquivos: %v de %m"));
}

void JanelaPrincipal::AoPreparar(std::shared_ptr<const Carteira> carteira) {
  long tarefas = static_cast<long>(carteira->Declaracoes());
  for (const ArquivoDaCarteira& a : carteira->arquivos()) tarefas += a.erro.has_value();
  modelo_->Recomeca(std::move(carteira), dados_);
  progresso_->setRange(0, static_cast<int>(tarefas));
  progresso_->setValue(0);
  progresso_->setFormat(U("%v de %m"));
  AtualizaEstado();
}

void JanelaPrincipal::AoChegar(std::vector<ResultadoDaCarteira>& resultados) {
  const int desde = modelo_->rowCount();
  modelo_->Acrescenta(resultados);
  progresso_->setValue(modelo_->rowCount());
  SelecionaPendente(desde);
  AtualizaEstado();
}

void JanelaPrincipal::AoTerminar(bool interrompida) {
  interrompida_ = interrompida;
  progresso_->hide();
  cancelar_->hide();
  const TotaisDaCarteira& t = modelo_->totais();
  if (interrompida && modelo_->carteira())
    statusBar()->showMessage(U("Verificação cancelada: ") + Numero(t.verificadas) + U(" de ") +
                                 Quantos(t.declaracoes, "declaração verificada", "declarações verificadas"),
                             15000);
  else if (interrompida)
    statusBar()->showMessage(U("Verificação cancelada durante a leitura dos arquivos."), 15000);
  AtualizaEstado();
}

void JanelaPrincipal::AoFalhar(const std::string& motivo) {
  modelo_->Limpa();
  convite_->setText(QString::fromStdString(motivo) + "\n\n" + Convite());
  centro_->setCurrentWidget(convite_);
}

QString JanelaPrincipal::Totais() const {
  const TotaisDaCarteira& t = modelo_->totais();
  if (!modelo_->carteira()) return Verificando() ? U("Lendo os arquivos…") : QString();
  auto n = [&t](Situacao s) { return t.porSituacao[static_cast<size_t>(s)]; };
  QString texto = Quantos(t.arquivos, "arquivo", "arquivos");
  if (t.arquivosComProblema) texto += " (" + Numero(t.arquivosComProblema) + U(" com problemas)");
  texto += U(" · ") + Numero(t.verificadas) + U(" de ") +
           Quantos(t.declaracoes, "declaração", "declarações") + ": " +
           Quantos(n(Situacao::Consistente), "consistente", "consistentes") + ", " +
           Quantos(n(Situacao::Inconsistente), "inconsistente", "inconsistentes");
  if (n(Situacao::ChaveNaoConfere))
    texto += ", " + Numero(n(Situacao::ChaveNaoConfere)) + U(" com chave que não confere");
  if (n(Situacao::Erro)) texto += ", " + Numero(n(Situacao::Erro)) + U(" com erro");
  if (n(Situacao::Ilegivel))
    texto += U(" · ") + Quantos(n(Situacao::Ilegivel), "arquivo ilegível", "arquivos ilegíveis");
  if (filtro_->rowCount() != modelo_->rowCount())
    texto += U(" · mostrando ") + Quantos(filtro_->rowCount(), "linha", "linhas");
  return texto;
}

void JanelaPrincipal::AtualizaEstado() {
  totais_->setText(Totais());
  exportar_->setEnabled(modelo_->carteira() && !Verificando());
  cancelarAcao_->setEnabled(Verificando());
  verificarDeNovo_->setEnabled(!dados_.empty());
}

void JanelaPrincipal::SelecionaPendente(int desde) {
  if (pendente_.arquivo.empty()) return;
  for (int linha = desde; linha < modelo_->rowCount(); ++linha) {
    const ResultadoDaCarteira& r = modelo_->ResultadoDa(linha);
    if (!r.verificacao || r.verificacao->declaracao != pendente_.declaracao ||
        Absoluto(modelo_->ArquivoDa(linha).nome) != pendente_.arquivo)
      continue;
    const QModelIndex i = filtro_->mapFromSource(modelo_->index(linha, 0));
    tabela_->setCurrentIndex(i);
    tabela_->scrollTo(i);
    tabela_->setFocus();
    pendente_ = {};
    return;
  }
}

}  // namespace kv
