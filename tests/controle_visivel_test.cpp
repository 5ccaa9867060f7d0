// The visible control driven as a user drives it, under the offscreen platform.
#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "apoio.h"
#include "control/entrada.h"
#include "host/exemplo.h"
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
  void Clica(QTreeWidgetItem* item, bool duplo) {
    QRect r = Arvore()->visualItemRect(item);
    QTest::mouseClick(Arvore()->viewport(), Qt::LeftButton, {}, r.center());
    if (duplo) QTest::mouseDClick(Arvore()->viewport(), Qt::LeftButton, {}, r.center());
  }

  BancoTeste banco;
  std::unique_ptr<kvCtlConsistencia> controle;
};

TEST(Fontes, HaUmaFonteDisponivel) {
  EXPECT_FALSE(QFontDatabase::families().isEmpty()) << "instale fonts-dejavu-core";
}

TEST_F(ControleVisivel, FilhosComNomesLegendasEPosicoes) {
  struct Caso {
    const char* nome;
    QString legenda;
    QRect twips;
  };
  const Caso casos[] = {
      {"butFechar", "Fechar", {8835, 5880, 1245, 345}},
      {"Frame1", "Lista de Inconsistências", {0, 0, 3675, 5805}},
      {"ListaDeLocais", "", {120, 240, 3405, 5415}},
      {"Frame2", "", {3750, 2910, 6315, 2895}},
      {"Label1", "", {270, 180, 5745, 1215}},
      {"Frame3", "Descrição", {3750, 0, 6315, 2895}},
      {"Mensagem", "", {150, 270, 6015, 2445}},
  };
  const double escala = controle->logicalDpiX() / 1440.0;
  for (const Caso& c : casos) {
    auto* w = controle->findChild<QWidget*>(c.nome);
    ASSERT_NE(w, nullptr) << c.nome;
    QRect esperado(qRound(c.twips.x() * escala), qRound(c.twips.y() * escala),
                   qRound(c.twips.width() * escala), qRound(c.twips.height() * escala));
    EXPECT_EQ(w->geometry(), esperado) << c.nome;
    if (auto* b = qobject_cast<QPushButton*>(w)) {
      EXPECT_EQ(b->text(), c.legenda);
    }
    if (auto* g = qobject_cast<QGroupBox*>(w)) {
      EXPECT_EQ(g->title(), c.legenda);
    }
  }
  EXPECT_EQ(controle->findChild<QLabel*>("Label1")->palette().color(QPalette::WindowText), QColor(0, 0, 128));
  EXPECT_TRUE(Painel()->isReadOnly());
  EXPECT_EQ(Painel()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(ImagemDaLista(1).pixmap(10, 10).size(), QSize(10, 10));
}

TEST_F(ControleVisivel, PinturaReconstroiMasAtualizarAArvoreNao) {
  EXPECT_GE(controle->Reconstrucoes(), 1);
  EXPECT_EQ(Painel()->toPlainText(), "Esta Declaração está Inconsistente!");
  ASSERT_NE(controle->ItemDaChave("A:Entradas3Imp"), nullptr);
  QTest::qWait(200);
  int antes = controle->Reconstrucoes();
  QTest::qWait(200);
  EXPECT_EQ(controle->Reconstrucoes(), antes) << "a rebuild caused another";
  Arvore()->viewport()->update();
  Painel()->viewport()->update();
  controle->findChild<QLabel*>("Label2")->update();
  QTest::qWait(100);
  EXPECT_EQ(controle->Reconstrucoes(), antes);
  controle->repaint();
  EXPECT_EQ(controle->Reconstrucoes(), antes + 1);
  controle->resize(controle->width() + 20, controle->height());
  QTest::qWait(100);
  EXPECT_GT(controle->Reconstrucoes(), antes + 1);
}

TEST_F(ControleVisivel, CliqueExplicaEDuploCliqueAceita) {
  QTreeWidgetItem* item = controle->ItemDaChave("A:Entradas3Imp");
  ASSERT_NE(item, nullptr);
  Clica(item, false);
  EXPECT_TRUE(Painel()->toPlainText().startsWith("Foi informado zero"));
  Clica(item, true);
  EXPECT_EQ(controle->Logica().ListaDeLocais().Busca("A:Entradas3Imp")->imagem, kImagemAceita);
  EXPECT_EQ(item->data(0, Qt::UserRole + 1).toInt(), kImagemAceita);
  Clica(item, true);
  EXPECT_EQ(item->data(0, Qt::UserRole + 1).toInt(), kImagemAberta);
}

TEST_F(ControleVisivel, FecharMostraACaixaGravaEEmiteFechar) {
  QSignalSpy fechar(controle.get(), &kvCtlConsistencia::Fechar);
  Clica(controle->ItemDaChave("A:Entradas3Imp"), true);
  QString texto;
  QTimer::singleShot(0, [&texto] {
    if (auto* caixa = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      texto = caixa->text();
      caixa->button(QMessageBox::Ok)->click();
    }
  });
  QTest::mouseClick(controle->findChild<QPushButton*>("butFechar"), Qt::LeftButton);
  EXPECT_EQ(texto, "Consistência efetuada com sucesso!");
  EXPECT_EQ(fechar.count(), 1);
  auto rs = banco.db().OpenRecordset("SELECT Consistente, Chave FROM tblDeclaração WHERE Declaração = 12");
  EXPECT_TRUE(CBool(rs->Campo("Consistente")));
  EXPECT_EQ(TextoDe(rs->Campo("Chave")).size(), 32u);
}

TEST_F(ControleVisivel, ErroDaReconstrucaoApareceNoPainel) {
  banco.Sql("DROP TABLE tblSaídas");
  controle->repaint();
  EXPECT_TRUE(Painel()->toPlainText().startsWith("Erro 3001: no such table"))
      << Painel()->toPlainText().toStdString();
  controle->repaint();
  EXPECT_TRUE(Painel()->toPlainText().startsWith("Erro 3001"));
  EXPECT_TRUE(controle->isEnabled());
}

TEST_F(ControleVisivel, PropriedadeAcentuadaEPropriedadesDoHost) {
  controle->setProperty("Declaração", 7);
  EXPECT_EQ(controle->Declaracao().toInt(), 7);
  controle->setProperty("Declaracao", 12);
  EXPECT_EQ(controle->property("Declaração").toInt(), 12);
  controle->setProperty("IE", "123");
  EXPECT_EQ(controle->IE().toString(), "123");
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

}  // namespace
}  // namespace kv
