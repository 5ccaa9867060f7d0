// The README's pictures of the control in the window of `janela` (with its status bar) and of the desktop
// program's main window, drawn offscreen from the example database:
//   kv_capturas PASTA   writes PASTA/controle.png, controle-ampliado.png, controle-aceito.png and
//                       janela-principal.png
#include <QApplication>
#include <QDir>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <cstdio>

#include "control/controle.h"
#include "host/exemplo.h"
#include "host/host.h"
#include "platform/configuracao.h"
#include "platform/db/sqlite_banco.h"
#include "ui/janela.h"
#include "ui/kvctlconsistencia.h"
#include "ui/principal/janela_principal.h"

namespace {

void Seleciona(kv::kvCtlConsistencia& c, const std::string& chave) {
  QTreeWidgetItem* item = c.ItemDaChave(chave);
  auto* arvore = c.findChild<QTreeWidget*>("ListaDeLocais");
  arvore->setCurrentItem(item);
  QTest::qWait(20);
}

void Grava(QWidget& w, const QString& arquivo) {
  QTest::qWait(50);
  if (!w.grab().save(arquivo)) std::fprintf(stderr, "não foi possível gravar %s\n", qPrintable(arquivo));
  std::printf("%s\n", qPrintable(arquivo));
}

// Declaration 12 of `banco` recorded as the user records it: its two warnings accepted, then Fechar.
void Registra(const std::string& banco) {
  kv::DefineValorDaExecucao("KV", "DB", "DbAtual", banco);
  kv::ControleConsistencia controle;
  controle.DefineDeclaracao(kv::Variant::Str("12"));
  controle.MontaInconsistencias();
  for (const char* chave : {"A:Entradas3Imp", "A:Entradas725%"}) controle.Aceita(chave);
  controle.Consistir();
}

// An accountant's portfolio: a folder of the firms' databases, one of them the host's Jet file and one that
// a failing disk damaged; in one firm declaration 12 was recorded, in another it was recorded and then
// changed. Opened by a relative name, so no temporary path is shown.
void GravaJanelaPrincipal(const QString& pasta, const QString& tmp, const std::string& exemplo) {
  QDir(tmp).mkpath("clientes");
  for (const char* firma : {"mercado-central.db", "padaria-sao-jorge.db", "oficina-rodrigues.db"})
    QFile::copy(QString::fromStdString(exemplo), tmp + "/clientes/" + firma);
  Registra((tmp + "/clientes/mercado-central.db").toStdString());
  Registra((tmp + "/clientes/oficina-rodrigues.db").toStdString());
  kv::AbreSqlite((tmp + "/clientes/oficina-rodrigues.db").toStdString())
      ->Executa("UPDATE tblEntradas SET EntradaInterna = EntradaInterna + 1 WHERE Declaração = 12", {});
  const QString fixtures = KV_FIXTURES;
  QFile::copy(fixtures + "/exemplo.mdb", tmp + "/clientes/livraria-boa-leitura.mdb");
  QFile::copy(fixtures + "/danificados/exemplo-trunc-10pages.mdb", tmp + "/clientes/farmacia-do-povo.mdb");
  const QString antes = QDir::currentPath();
  QDir::setCurrent(tmp);
  kv::JanelaPrincipal janela;
  janela.DefineExercicio(2002);
  janela.resize(980, 700);
  janela.show();
  janela.Abre({"clientes"});
  while (janela.Verificando()) QTest::qWait(50);
  QTableView* tabela = janela.Tabela();
  tabela->setCurrentIndex(tabela->model()->index(24, 0));
  tabela->setFocus();
  Grava(janela, pasta + "/janela-principal.png");
  QDir::setCurrent(antes);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir tmp;
  qputenv("XDG_CONFIG_HOME", (tmp.path() + "/config").toUtf8());
  qputenv("XDG_CACHE_HOME", (tmp.path() + "/cache").toUtf8());
  QApplication app(argc, argv);
  const QString pasta = argc > 1 ? argv[1] : "docs";
  const std::string banco = (tmp.path() + "/exemplo.db").toStdString();
  kv::host::CriaExemplo(banco);
  kv::host::RegistraComponentes();
  kv::DefineValorDaExecucao("KV", "DB", "DbAtual", banco);
  kv::DefineValorDaExecucao("KV", "Exercicio", "ExercicioAtual", "2002");

  kv::JanelaConsistencia janela("5");
  janela.show();
  QTest::qWait(100);
  Seleciona(janela.Controle(), "D:1025");
  janela.Atualiza();
  Grava(janela, pasta + "/controle.png");
  janela.resize(janela.size() + QSize(260, 160));
  Grava(janela, pasta + "/controle-ampliado.png");

  kv::JanelaConsistencia aceito("12");
  aceito.show();
  QTest::qWait(100);
  Seleciona(aceito.Controle(), "A:Entradas3Imp");
  aceito.Controle().ListaDeLocais_DblClick();
  Seleciona(aceito.Controle(), "A:Entradas725%");
  aceito.Controle().ListaDeLocais_DblClick();
  aceito.Atualiza();
  Grava(aceito, pasta + "/controle-aceito.png");
  GravaJanelaPrincipal(QDir(pasta).absolutePath(), tmp.path(), banco);
  return 0;
}
