// The README's pictures of the control in the window of `janela` (with its status bar), drawn offscreen
// from the example database:
//   kv_capturas PASTA   writes PASTA/controle.png, controle-ampliado.png and controle-aceito.png
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <cstdio>

#include "host/exemplo.h"
#include "host/host.h"
#include "platform/configuracao.h"
#include "ui/janela.h"
#include "ui/kvctlconsistencia.h"

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
  return 0;
}
