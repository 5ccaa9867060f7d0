// The desktop program's main window driven as a user drives it, under the offscreen platform: a folder
// of SQLite and Jet files opened, its rows, totals, filter and search; a declaration opened from its row,
// its warnings accepted with the keyboard and recorded; a Jet file imported; the report; and every kind of
// file that cannot be read, each a row with its reason, nothing left behind.
#include "ui/principal/janela_principal.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <set>

#include "apoio.h"
#include "host/exemplo.h"
#include "platform/configuracao.h"
#include "platform/db/sqlite_banco.h"
#include "ui/janela.h"
#include "ui/kvctlconsistencia.h"

namespace kv {
namespace {

namespace fs = std::filesystem;
using Modelo = ModeloDaCarteira;

const QString kFixtures = KV_FIXTURES;

bool Espera(const std::function<bool()>& condicao, int ms = 60000) {
  for (int t = 0; t < ms && !condicao(); t += 20) QTest::qWait(20);
  return condicao();
}

// The user's answers to the window's dialogs.
struct Respostas : Dialogos {
  QString relatorio, importacao;
  QString Relatorio(QWidget*, const QString&) override { return relatorio; }
  QString DestinoDaImportacao(QWidget*, const QString&, const QString&) override { return importacao; }
};

// The text of a column in the row (of the table as shown) whose file and declaration are these.
class Linhas {
 public:
  explicit Linhas(JanelaPrincipal& j) : m_(*j.Tabela()->model()) {}
  int Acha(const QString& arquivo, int declaracao) const {
    for (int i = 0; i < m_.rowCount(); ++i)
      if (m_.index(i, Modelo::kArquivo).data().toString().endsWith(arquivo) &&
          m_.index(i, Modelo::kDeclaracao).data().toInt() == declaracao)
        return i;
    return -1;
  }
  std::string Texto(int linha, int coluna) const {
    return m_.index(linha, coluna).data().toString().toStdString();
  }
  std::string Situacao(const QString& arquivo, int declaracao) const {
    return Texto(Acha(arquivo, declaracao), Modelo::kSituacao);
  }

 private:
  const QAbstractItemModel& m_;
};

class JanelaPrincipalTeste : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!QFile::exists(kFixtures + "/exemplo.mdb"))
      GTEST_SKIP() << "sem os arquivos Jet de " << kFixtures.toStdString();
    pasta_ = raiz_.filePath("carteira").toStdString();
    fs::create_directories(pasta_);
    host::CriaExemplo(pasta_ + "/exemplo.db");
    fs::copy_file(kFixtures.toStdString() + "/exemplo.mdb", pasta_ + "/exemplo.mdb");
    tmp_ = raiz_.filePath("tmp").toStdString();
    execucao_ = raiz_.filePath("execucao").toStdString();
    for (const std::string& p : {tmp_, execucao_}) fs::create_directories(p);
    // Jet copies and the key's file go to these: each must be empty once the window is gone.
    antes_ = {qgetenv("TMPDIR"), qgetenv("XDG_RUNTIME_DIR")};
    qputenv("TMPDIR", QByteArray::fromStdString(tmp_));
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(execucao_));
    kvIni_ = teste::LeArquivo(QString::fromStdString(ArquivoConfiguracao(kApp)));
  }
  void TearDown() override {
    std::error_code e;
    fs::remove_all(raiz_.path().toStdString(), e);  // with the names QTemporaryDir cannot spell
    DefineValorDaExecucao("", "", "", "");
    qputenv("TMPDIR", antes_.first);
    qputenv("XDG_RUNTIME_DIR", antes_.second);
  }
  void NadaFicou() {
    EXPECT_TRUE(fs::is_empty(tmp_)) << tmp_;
    EXPECT_TRUE(fs::is_empty(execucao_)) << execucao_;
    // KV.ini belongs to the host program.
    EXPECT_EQ(teste::LeArquivo(QString::fromStdString(ArquivoConfiguracao(kApp))), kvIni_);
  }

  QTemporaryDir raiz_;
  std::string pasta_, tmp_, execucao_;
  std::pair<QByteArray, QByteArray> antes_;
  QByteArray kvIni_;
};

TEST_F(JanelaPrincipalTeste, CarteiraAbertaVerificadaCorrigidaEExportada) {
  auto* respostas = new Respostas;
  respostas->relatorio = raiz_.filePath("relatório.html");
  respostas->importacao = QString::fromStdString(pasta_ + "/importado.db");
  teste::RespondeCaixas caixas;
  {
    JanelaPrincipal j{std::unique_ptr<Dialogos>(respostas)};
    j.DefineExercicio(2002);
    j.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&j));
    j.Abre({pasta_});
    ASSERT_TRUE(Espera([&] { return !j.Verificando(); }));
    Linhas linhas(j);
    QTableView* tabela = j.Tabela();
    // Every declaration of both files, each with its state and counts; the totals in the status bar.
    EXPECT_EQ(tabela->model()->rowCount(), 16);
    EXPECT_EQ(linhas.Situacao("carteira/exemplo.db", 1), "consistente");
    EXPECT_EQ(linhas.Situacao("carteira/exemplo.mdb", 4), "inconsistente");
    const int d4 = linhas.Acha("exemplo.mdb", 4);
    EXPECT_EQ(linhas.Texto(d4, Modelo::kErros), "1");
    EXPECT_EQ(linhas.Texto(d4, Modelo::kAvisos), "1");
    EXPECT_EQ(j.Totais().toStdString(),
              "2 arquivos (2 com problemas) · 16 de 16 declarações: 2 consistentes, 14 inconsistentes");
    // Files with problems first, each whole: the clean declaration 1 arrived alone, before its file had one.
    EXPECT_EQ(linhas.Texto(0, Modelo::kArquivo) + " " + linhas.Texto(0, Modelo::kDeclaracao),
              "carteira/exemplo.db 1");

    // The filter and the search, from the keyboard.
    j.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&j));
    teste::Tecla(&j, Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(tabela->model()->rowCount(), 14);
    teste::Tecla(&j, Qt::Key_F, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), "exemplo.db");
    EXPECT_TRUE(Espera([&] { return tabela->model()->rowCount() == 7; }));
    EXPECT_TRUE(j.Totais().endsWith("mostrando 7 linhas")) << j.Totais().toStdString();
    j.findChild<QLineEdit*>()->clear();
    teste::Tecla(&j, Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(Espera([&] { return tabela->model()->rowCount() == 16; }));

    // Declaration 12 opened with Enter: its two warnings accepted with the keyboard, then Fechar.
    tabela->setFocus();
    tabela->setCurrentIndex(tabela->model()->index(linhas.Acha("carteira/exemplo.db", 12), 0));
    teste::Tecla(tabela, Qt::Key_Return);
    ASSERT_TRUE(Espera([&] { return j.Painel() && j.Painel()->isVisible(); }));
    EXPECT_TRUE(j.Painel()->Controle().MostraValores());
    auto* lista = j.Painel()->findChild<QTreeWidget*>("ListaDeLocais");
    lista->setFocus();
    for (int tecla : {Qt::Key_Home, Qt::Key_Down, Qt::Key_Return, Qt::Key_Down, Qt::Key_Return})
      teste::Tecla(lista, tecla);
    auto* fechar = j.Painel()->findChild<QPushButton*>("butFechar");
    fechar->setFocus();
    teste::Tecla(fechar, Qt::Key_Return);
    ASSERT_TRUE(Espera([&] {
      return !j.Painel() && linhas.Situacao("exemplo.db", 12).starts_with("consistente");
    })) << linhas.Situacao("exemplo.db", 12);
    EXPECT_EQ(linhas.Situacao("exemplo.db", 12), "consistente (2 avisos aceitos)");
    const teste::Execucao chave = teste::Roda(
        raiz_.path(),
        {"validar-chave", "--banco", QString::fromStdString(pasta_) + "/exemplo.db", "--declaracao", "12"});
    EXPECT_EQ(chave.status, 0) << chave.saida.toStdString() << chave.erros.toStdString();
    // Its data changed afterwards: checked again (F5), the recorded key no longer seals it.
    AbreSqlite(pasta_ + "/exemplo.db")
        ->Executa("UPDATE tblEntradas SET EntradaInterna = EntradaInterna + 1 WHERE Declaração = 12", {});
    teste::Tecla(&j, Qt::Key_F5);
    ASSERT_TRUE(Espera([&] { return !j.Verificando() && tabela->model()->rowCount() == 16; }));
    EXPECT_EQ(linhas.Situacao("exemplo.db", 12), "chave gravada não confere");

    // A Jet declaration is never recorded: opened, it is imported into the SQLite file the user chose, which
    // joins the portfolio with that declaration selected.
    tabela->setCurrentIndex(tabela->model()->index(linhas.Acha("exemplo.mdb", 12), 0));
    teste::Tecla(tabela, Qt::Key_Return);
    ASSERT_TRUE(Espera([&] {
      const QModelIndex i = tabela->currentIndex();
      return !j.Verificando() && linhas.Texto(i.row(), Modelo::kArquivo) == "carteira/importado.db" &&
             linhas.Texto(i.row(), Modelo::kDeclaracao) == "12";
    }));
    EXPECT_EQ(tabela->model()->rowCount(), 24);
    EXPECT_EQ(linhas.Situacao("importado.db", 12), "inconsistente");

    // A file dropped on the window joins the portfolio.
    fs::copy_file(pasta_ + "/exemplo.db", raiz_.filePath("solto.db").toStdString());
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(raiz_.filePath("solto.db"))});
    QDragEnterEvent entra(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QDropEvent solta(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&j, &entra);
    QCoreApplication::sendEvent(&j, &solta);
    EXPECT_TRUE(Espera([&] { return !j.Verificando() && tabela->model()->rowCount() == 32; }));

    // Another fiscal year checks everything again.
    teste::Tecla(&j, Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
    teste::Tecla(QApplication::focusWidget(), Qt::Key_Up);
    EXPECT_TRUE(Espera([&] {
      return !j.Verificando() && j.Modelo().rowCount() == 32 && j.Modelo().ResultadoDa(0).verificacao &&
             j.Modelo().ResultadoDa(0).verificacao->exercicio == "2003";
    }));

    // The portfolio's report, never over a database.
    const QByteArray banco = teste::LeArquivo(QString::fromStdString(pasta_ + "/exemplo.db"));
    respostas->relatorio = QString::fromStdString(pasta_ + "/exemplo.db");
    teste::Tecla(&j, Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(teste::LeArquivo(respostas->relatorio), banco);
    j.activateWindow();  // back from the message box that said so
    ASSERT_TRUE(QTest::qWaitForWindowActive(&j));
    respostas->relatorio = raiz_.filePath("relatório.html");
    teste::Tecla(&j, Qt::Key_E, Qt::ControlModifier);
    const QString relatorio = QString::fromUtf8(teste::LeArquivo(respostas->relatorio));
    EXPECT_TRUE(relatorio.contains("Relatório de consistência") && relatorio.contains("Exercício: 2003") &&
                relatorio.contains("importado.db") && relatorio.contains("Declaração 12"))
        << relatorio.left(400).toStdString();
    teste::Tecla(&j, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(j.isVisible());
  }
  // The window's own settings, in its own file.
  Preferencias p;
  EXPECT_EQ(p.Exercicio(), 2003);
  EXPECT_EQ(p.Recentes().front(), raiz_.filePath("solto.db").toStdString());
  EXPECT_NE(std::find(p.Recentes().begin(), p.Recentes().end(), pasta_), p.Recentes().end());
  EXPECT_FALSE(p.Geometria().isEmpty());
  NadaFicou();
}

// A run replaced before its end: what it still had to say never reaches the new table. Esc stops a run
// while it reads Jet files, and the copies it was making go with it. A path that no longer exists is said
// and leaves the recent list.
TEST_F(JanelaPrincipalTeste, TrocarCancelarEAbrirOQueNaoExiste) {
  const std::string muitos = raiz_.filePath("muitos").toStdString(),
                    jet = raiz_.filePath("jet").toStdString();
  for (const std::string& p : {muitos, jet}) fs::create_directories(p);
  for (int i = 0; i < 150; ++i)
    fs::copy_file(pasta_ + "/exemplo.db", muitos + "/f" + std::to_string(i) + ".db");
  for (int i = 0; i < 12; ++i)
    fs::copy_file(pasta_ + "/exemplo.mdb", jet + "/j" + std::to_string(i) + ".mdb");
  {
    JanelaPrincipal j;
    j.DefineExercicio(2002);
    j.show();
    j.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&j));
    j.Abre({muitos});
    ASSERT_TRUE(Espera([&] { return j.Modelo().rowCount() > 0; }));
    j.Abre({pasta_ + "/exemplo.db"});
    ASSERT_TRUE(Espera([&] { return !j.Verificando(); }));
    ASSERT_EQ(j.Modelo().rowCount(), 8);
    for (int i = 0; i < 8; ++i)
      EXPECT_EQ(j.Modelo().NomeCurto(j.Modelo().ResultadoDa(i).arquivo).toStdString(), "exemplo.db");
    EXPECT_EQ(j.statusBar()->currentMessage().toStdString(), "");  // the old run's end is not the new one's

    j.Abre({jet});
    QTest::qWait(50);
    teste::Tecla(&j, Qt::Key_Escape);
    ASSERT_TRUE(Espera([&] { return !j.Verificando(); }));
    EXPECT_LT(j.Modelo().rowCount(), 12 * 8);
    EXPECT_TRUE(j.statusBar()->currentMessage().startsWith("Verificação cancelada"))
        << j.statusBar()->currentMessage().toStdString();

    Preferencias().AcrescentaRecente("/nao/existe.db");
    j.Abre({"/nao/existe.db"});
    EXPECT_EQ(j.statusBar()->currentMessage().toStdString(),
              "Não existe: /nao/existe.db (retirado dos recentes)");
    const std::vector<std::string> recentes = Preferencias().Recentes();
    EXPECT_EQ(std::find(recentes.begin(), recentes.end(), "/nao/existe.db"), recentes.end());
  }
  NadaFicou();
}

// The table's order as results arrive in batches: a file's rows move up, whole, when its first problem
// arrives after its clean rows were shown, and back down when a check again finds it clean.
TEST(ModeloDaCarteiraTeste, ArquivosComProblemasPrimeiroEInteiros) {
  QTemporaryDir pasta;
  for (const char* nome : {"a.db", "b.db"}) teste::GravaArquivo(pasta.filePath(nome), "x");
  const std::string raiz = pasta.path().toStdString();
  ModeloDaCarteira m;
  FiltroDaCarteira f;
  f.setSourceModel(&m);
  f.sort(Modelo::kArquivo);
  m.Recomeca(std::make_shared<Carteira>(std::vector<std::string>{raiz}), {raiz});
  auto resultado = [](size_t arquivo, const char* declaracao, bool consistente) {
    ResultadoVerificacao v;
    v.declaracao = declaracao;
    v.consistente = consistente;
    return ResultadoDaCarteira{arquivo, v};
  };
  auto ordem = [&f] {
    QStringList r;
    for (int i = 0; i < f.rowCount(); ++i)
      r << f.index(i, Modelo::kArquivo).data().toString().right(4) +
               f.index(i, Modelo::kDeclaracao).data().toString();
    return r.join(' ').toStdString();
  };
  std::vector<ResultadoDaCarteira> lote = {resultado(0, "1", true), resultado(1, "1", true)};
  m.Acrescenta(lote);
  EXPECT_EQ(ordem(), "a.db1 b.db1");
  lote = {resultado(1, "2", false)};
  m.Acrescenta(lote);
  EXPECT_EQ(ordem(), "b.db1 b.db2 a.db1");
  EXPECT_EQ(m.totais().arquivosComProblema, 1);
  m.Substitui(2, resultado(1, "2", true).verificacao.value());
  EXPECT_EQ(ordem(), "a.db1 b.db1 b.db2");
  EXPECT_EQ(m.totais().arquivosComProblema, 0);
}

// Every file that cannot be checked is a row saying why, among the others; the folder and the temporary
// folders look afterwards as they did before.
TEST_F(JanelaPrincipalTeste, ArquivosQueNaoPodemSerLidosSaoLinhasComOMotivo) {
  const std::string naoUtf8 = "nome\xff.db";
  const std::pair<std::string, std::string> casos[] = {
      {"danificado.mdb",
       "arquivo ilegível: o leitor de arquivos Jet parou ao ler o catálogo de tabelas: o catálogo registra "
       "11 "
       "objetos, mas 0 puderam ser lidos (arquivo danificado)"},
      {"texto.db", "arquivo ilegível: não é um banco de dados SQLite"},
      {"fila.db", "arquivo ilegível: não é um arquivo"},
      {"sem-leitura.db", "arquivo ilegível: sem permissão de leitura"},
      {"fechada", "arquivo ilegível: a pasta não pode ser lida: Permission denied"},
      {naoUtf8, "inconsistente"},
  };
  const std::string p = pasta_ + "/";
  fs::copy_file(kFixtures.toStdString() + "/danificados/exemplo-trunc-10pages.mdb", p + "danificado.mdb");
  teste::GravaArquivo(QString::fromStdString(p + "texto.db"), "não é um banco");
  ::mkfifo((p + "fila.db").c_str(), 0644);
  for (const std::string& nome : {std::string("sem-leitura.db"), naoUtf8})
    fs::copy_file(p + "exemplo.db", p + nome);
  fs::create_directory(p + "fechada");
  for (const char* nome : {"sem-leitura.db", "fechada"}) fs::permissions(p + nome, fs::perms::none);
  // Readable by the other user: the folders, and TMPDIR for the Jet copies.
  for (const std::string& p : {raiz_.path().toStdString(), pasta_}) fs::permissions(p, fs::perms::all);
  fs::permissions(tmp_, fs::perms::all | fs::perms::sticky_bit);
  const std::set<std::string> antes = teste::Retrato(pasta_);
  {
    JanelaPrincipal j;
    j.DefineExercicio(2002);
    j.show();
    {
      teste::ComoOutroUsuario outro;
      j.Abre({pasta_});
      ASSERT_TRUE(Espera([&] { return !j.Verificando(); }));
    }
    Linhas linhas(j);
    for (const auto& [arquivo, situacao] : casos) {
      const bool declaracoes = arquivo == naoUtf8;
      const QString nome =
          "carteira/" + (declaracoes ? QString("nome\\xff.db") : QString::fromStdString(arquivo));
      const int linha = linhas.Acha(nome, declaracoes ? 12 : 0);
      ASSERT_GE(linha, 0) << arquivo;
      EXPECT_EQ(linhas.Texto(linha, Modelo::kSituacao), situacao) << arquivo;
    }
    EXPECT_TRUE(j.Totais().endsWith("5 arquivos ilegíveis")) << j.Totais().toStdString();
    // The unreadable rows come first: every file with a problem does, in path order.
    EXPECT_EQ(linhas.Texto(0, Modelo::kArquivo), "carteira/danificado.mdb");
  }
  EXPECT_EQ(teste::Retrato(pasta_), antes);
  NadaFicou();
}

}  // namespace
}  // namespace kv
