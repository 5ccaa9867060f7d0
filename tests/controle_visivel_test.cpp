// The visible control driven as a user drives it, under the offscreen platform.
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include "apoio.h"
#include "checker/consistekv.h"
#include "control/entrada.h"
#include "host/exemplo.h"
#include "platform/configuracao.h"
#include "platform/db/sqlite_banco.h"
#include "ui/janela.h"
#include "ui/kvctlconsistencia.h"

namespace kv {
namespace {

using teste::BancoTeste;

class ControleVisivel : public ::testing::Test {
 protected:
  void SetUp() override {
    host::InsereDeclaracaoLimpa(banco.db(), 12, "1");
    banco.Sql("UPDATE tblEntradas SET ImpAquisição = 0 WHERE Declaração = 12 AND Ref = 3");
    controle = std::make_unique<kvCtlConsistencia>();
    controle->DefineDeclaracao(12);
    controle->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(controle.get()));
    QTest::qWait(50);
  }
  QTreeWidget* Arvore() { return controle->findChild<QTreeWidget*>("ListaDeLocais"); }
  QPlainTextEdit* Painel() { return controle->findChild<QPlainTextEdit*>("Mensagem"); }
  QPushButton* Fechar() { return controle->findChild<QPushButton*>("butFechar"); }
  int Imagem(const char* chave) { return controle->Logica().ListaDeLocais().Busca(chave)->imagem; }
  void Clica(QTreeWidgetItem* item, bool duplo) {
    QRect r = Arvore()->visualItemRect(item);
    QTest::mouseClick(Arvore()->viewport(), Qt::LeftButton, {}, r.center());
    if (duplo) QTest::mouseDClick(Arvore()->viewport(), Qt::LeftButton, {}, r.center());
  }

  // Presses Fechar, answers the final check's box and returns its text.
  QString PressionaFechar() {
    QString texto;
    QTimer::singleShot(0, [&texto] {
      if (auto* caixa = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        texto = caixa->text();
        caixa->button(QMessageBox::Ok)->click();
      }
    });
    QTest::mouseClick(Fechar(), Qt::LeftButton);
    return texto;
  }

  BancoTeste banco;
  std::unique_ptr<kvCtlConsistencia> controle;
};

// The design size is where the control starts and the least it takes; room beyond it goes to the list
// and the description, and Fechar stays in the corner, whole.
TEST_F(ControleVisivel, TamanhoInicialMinimoECrescimento) {
  const double escala = controle->logicalDpiX() / 1440.0;
  const QSize base(qRound(10185 * escala), qRound(6300 * escala));
  QPushButton* fechar = Fechar();
  auto* descricao = controle->findChild<QGroupBox*>("Frame3");
  EXPECT_EQ(controle->size(), base);
  EXPECT_EQ(controle->minimumSize(), base);
  const QSize arvore = Arvore()->size(), painel = descricao->size();
  controle->resize(base + QSize(300, 200));
  QTest::qWait(50);
  EXPECT_TRUE(Arvore()->height() > arvore.height() && Arvore()->width() > arvore.width());
  EXPECT_TRUE(descricao->height() > painel.height() && descricao->width() > painel.width());
  EXPECT_TRUE(controle->rect().contains(fechar->geometry()));
  EXPECT_EQ(fechar->geometry().bottomRight(),
            controle->rect().bottomRight() - QPoint(qRound(105 * escala), qRound(75 * escala)));
  controle->resize(base - QSize(200, 200));
  QTest::qWait(50);
  EXPECT_EQ(controle->size(), base);
  EXPECT_TRUE(controle->rect().contains(fechar->geometry()));
}

// A repaint of the same data (a resize, a window over it) keeps the tree and the user's acceptances; new
// data, or another declaration, is shown afresh.
TEST_F(ControleVisivel, RepinturaSoReconstroiQuandoOsDadosMudam) {
  EXPECT_GE(controle->Reconstrucoes(), 1);
  EXPECT_EQ(Painel()->toPlainText(), "Esta Declaração está Inconsistente!");
  Clica(controle->ItemDaChave("A:Entradas3Imp"), true);
  ASSERT_EQ(Imagem("A:Entradas3Imp"), kImagemAceita);
  int antes = controle->Reconstrucoes();
  controle->resize(controle->size() + QSize(80, 60));
  controle->repaint();
  QTest::qWait(100);
  EXPECT_EQ(controle->Reconstrucoes(), antes);
  EXPECT_EQ(Imagem("A:Entradas3Imp"), kImagemAceita);

  banco.Sql("UPDATE tblEntradas SET EntradaInterna = 1 WHERE Declaração = 12 AND Ref = 1");  // another writer
  controle->repaint();
  EXPECT_EQ(controle->Reconstrucoes(), antes + 1);
  EXPECT_EQ(Imagem("A:Entradas3Imp"), kImagemAberta);
  controle->setProperty("Declaração", 7);  // the host's property, by its own name
  controle->repaint();
  EXPECT_EQ(controle->Reconstrucoes(), antes + 2);
}

// The keyboard does what the mouse does: the arrows explain, Enter and Space accept (with the same
// refusals), Tab goes from the list to the description to Fechar.
TEST_F(ControleVisivel, TecladoComoMouse) {
  banco.Sql("UPDATE tblSaídas SET SaídaInter = 500, ImpDevido = 0 WHERE Declaração = 12 AND Ref = 11");
  controle->MontaInconsistencias();
  QApplication::setActiveWindow(controle.get());
  Arvore()->setFocus();
  Arvore()->setCurrentItem(controle->ItemDaChave("Entradas"));
  QTest::keyClick(Arvore(), Qt::Key_Down);
  EXPECT_EQ(Arvore()->currentItem(), controle->ItemDaChave("A:Entradas3Imp"));
  EXPECT_TRUE(Painel()->toPlainText().startsWith("Foi informado zero"))
      << Painel()->toPlainText().toStdString();
  QTest::keyClick(Arvore(), Qt::Key_Return);
  EXPECT_EQ(Imagem("A:Entradas3Imp"), kImagemAceita);
  QTest::keyClick(Arvore(), Qt::Key_Space);
  EXPECT_EQ(Imagem("A:Entradas3Imp"), kImagemAberta);
  Arvore()->setCurrentItem(controle->ItemDaChave("B:Saídas11Imp"));
  QTest::keyClick(Arvore(), Qt::Key_Return);
  EXPECT_EQ(Imagem("B:Saídas11Imp"), kImagemAberta);  // an error to correct is never accepted

  std::vector<QWidget*> ordem;
  for (QWidget* w = Arvore(); ordem.size() < 3; w = w->nextInFocusChain())
    if (w == Arvore() || w == Painel() || w == Fechar()) ordem.push_back(w);
  EXPECT_EQ(ordem, (std::vector<QWidget*>{Arvore(), Painel(), Fechar()}));
}

// A build that failed is shown where the list is; Fechar then records "not consistent" and closes.
TEST_F(ControleVisivel, FecharDepoisDeUmaMontagemQueFalhou) {
  banco.Sql("DROP TABLE tblSaídas");
  controle->repaint();
  auto* erro = controle->findChild<QLabel*>("ErroDaLista");
  ASSERT_NE(erro, nullptr);
  EXPECT_TRUE(erro->isVisible());
  EXPECT_TRUE(erro->text().contains("no such table: tblSaídas")) << erro->text().toStdString();
  EXPECT_TRUE(Painel()->toPlainText().startsWith("Erro 3001: no such table"));
  controle->repaint();  // the same failure again: shown once, the control stays usable
  EXPECT_TRUE(Painel()->toPlainText().startsWith("Erro 3001"));
  EXPECT_TRUE(controle->isEnabled());
  QSignalSpy fechar(controle.get(), &kvCtlConsistencia::Fechar);
  EXPECT_EQ(PressionaFechar(), "Esta declaração possui inconsistências!");
  EXPECT_EQ(fechar.count(), 1);
  EXPECT_FALSE(CBool(banco.Gravado().first));
  EXPECT_TRUE(banco.Gravado().second.IsNull());
}

TEST_F(ControleVisivel, CliqueExplicaDuploCliqueAceitaEFecharGrava) {
  QSignalSpy fechar(controle.get(), &kvCtlConsistencia::Fechar);
  QTreeWidgetItem* item = controle->ItemDaChave("A:Entradas3Imp");
  ASSERT_NE(item, nullptr);
  Clica(item, false);
  EXPECT_TRUE(Painel()->toPlainText().startsWith("Foi informado zero"));
  for (int imagem : {kImagemAceita, kImagemAberta, kImagemAceita}) {
    Clica(item, true);
    EXPECT_EQ(Imagem("A:Entradas3Imp"), imagem);
    EXPECT_EQ(item->data(0, Qt::UserRole + 1).toInt(), imagem);
  }
  EXPECT_EQ(PressionaFechar(), "Consistência efetuada com sucesso!");
  EXPECT_EQ(fechar.count(), 1);
  EXPECT_TRUE(CBool(banco.Gravado().first));
  EXPECT_EQ(TextoDe(banco.Gravado().second).size(), 32u);
}

TEST(PontosDeEntrada, RegistramEntregamFabricasEContamObjetos) {
  EXPECT_EQ(DllRegisterServer(), 0);
  EXPECT_TRUE(ClasseRegistrada(kClsidKvCtlConsistencia));
  EXPECT_TRUE(ClasseRegistrada(kClsidConsisteKV));
  EXPECT_EQ(DllCanUnloadNow(), 0);
  Fabrica f;
  EXPECT_EQ(DllGetClassObject("{00000000-0000-0000-0000-000000000000}", &f), 1);
  EXPECT_EQ(DllGetClassObject(kClsidConsisteKV.c_str(), &f), 0);
  {
    auto objeto = f();
    EXPECT_NE(std::dynamic_pointer_cast<ConsisteKV>(objeto), nullptr);
    auto controle = CriaComo<kvCtlConsistencia>(kClsidKvCtlConsistencia);
    EXPECT_EQ(DllCanUnloadNow(), 1);
  }
  EXPECT_EQ(DllCanUnloadNow(), 0);
  EXPECT_EQ(DllUnregisterServer(), 0);
  EXPECT_FALSE(ClasseRegistrada(kClsidConsisteKV));
}

// The window of `janela`: the keyboard works from the first moment, a status bar of one line that says
// where the declaration stands, tooltips, a refusal that lasts while its item is current, Return on
// Fechar, Escape as the title bar's close, and room to shrink.
TEST(Janela, DizOndeADeclaracaoEstaETeclasFuncionam) {
  QTemporaryDir pasta;
  const std::string exemplo = pasta.filePath("ex.db").toStdString();
  host::CriaExemplo(exemplo);
  BancoTeste b;
  DefineValorDaExecucao("KV", "DB", "DbAtual", exemplo);
  teste::RespondeCaixas caixas;  // the final check's boxes
  for (const char* declaracao : {"4", "12"}) {
    JanelaConsistencia j(declaracao);
    j.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&j));
    QTest::qWait(50);
    auto* rotulo = j.findChild<QLabel*>("BarraDeEstado");
    auto barra = [&j, rotulo] {
      j.Atualiza();
      return rotulo->toolTip().toStdString();
    };
    auto* lista = j.findChild<QTreeWidget*>("ListaDeLocais");
    // Nothing clicked yet: the list has the focus and the first finding is current.
    EXPECT_EQ(j.focusWidget(), lista) << declaracao;
    ASSERT_NE(lista->currentItem(), nullptr);
    EXPECT_EQ(lista->currentItem(), lista->topLevelItem(0)->child(0));
    if (std::string(declaracao) == "4") {
      EXPECT_EQ(barra(), "1 aviso aberto, 1 erro: corrija o erro no programa de origem");
      EXPECT_TRUE(j.minimumSize().width() < j.width() && j.minimumSize().height() < j.height());
      EXPECT_TRUE(j.Controle().ItemDaChave("B:Saídas11Imp")->toolTip(0).startsWith("Erro"));
      EXPECT_TRUE(j.Controle().ItemDaChave("B:Saídas525%")->toolTip(0).startsWith("Aviso"));
      lista->setCurrentItem(j.Controle().ItemDaChave("B:Saídas11Imp"));
      teste::Tecla(lista, Qt::Key_Return);
      EXPECT_NE(barra().find("é um erro: não pode ser aceito"), std::string::npos) << barra();
      // Narrow, the status stays one line, cut, its whole text in the tooltip.
      j.resize(j.minimumSize());
      QTest::qWait(30);
      EXPECT_TRUE(rotulo->text().endsWith(QString::fromUtf8("…"))) << rotulo->text().toStdString();
      EXPECT_LT(rotulo->height(), 2 * rotulo->fontMetrics().height());
      teste::Tecla(lista, Qt::Key_Home);  // the refusal was about the other item
      EXPECT_EQ(barra(), "1 aviso aberto, 1 erro: corrija o erro no programa de origem");
      j.activateWindow();
      teste::Tecla(&j, Qt::Key_Escape);  // closes as the title bar does: the final check, then the end
    } else {
      EXPECT_EQ(barra(),
                "2 avisos abertos: aceite com Enter ou duplo clique, ou corrija no programa de origem");
      teste::Tecla(lista, Qt::Key_Return);
      teste::Tecla(lista, Qt::Key_Down);
      teste::Tecla(lista, Qt::Key_Return);
      EXPECT_EQ(barra(), "todos os avisos aceitos: Fechar grava a chave");
      auto* fechar = j.findChild<QPushButton*>("butFechar");
      fechar->setFocus();
      teste::Tecla(fechar, Qt::Key_Return);  // Return presses a focused button, as Space does
    }
    EXPECT_FALSE(j.isVisible()) << declaracao;
    EXPECT_FALSE(j.Falhou()) << declaracao;
  }
  DefineValorDaExecucao("", "", "", "");
}

}  // namespace
}  // namespace kv
