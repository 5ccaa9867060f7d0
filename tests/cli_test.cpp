// kvconsistencia as a user runs it: exit statuses, the JSON contract, usage errors that lose nothing.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "platform/db/sqlite_banco.h"

namespace {

struct Execucao {
  int status;
  QByteArray saida, erros;
};

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    banco_ = pasta_.filePath("ex.db");
    ASSERT_EQ(Roda({"exemplo", banco_}).status, 0);
  }

  Execucao Roda(const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", pasta_.filePath("config"));
    env.insert("XDG_CACHE_HOME", pasta_.filePath("cache"));
    env.insert("LANG", "C.UTF-8");
    p.setProcessEnvironment(env);
    p.start(KV_PROGRAMA, args);
    p.waitForFinished(60000);
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
  }

  QJsonObject Json(const QStringList& args, int statusEsperado) {
    Execucao e = Roda(args);
    EXPECT_EQ(e.status, statusEsperado) << e.erros.toStdString();
    QJsonParseError erro;
    QJsonDocument d = QJsonDocument::fromJson(e.saida, &erro);
    EXPECT_EQ(erro.error, QJsonParseError::NoError) << e.saida.toStdString();
    return d.object();
  }

  QByteArray Arquivo(const QString& caminho) {
    QFile f(caminho);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
  }

  QTemporaryDir pasta_;
  QString banco_;
};

TEST_F(Cli, VerificarJsonSegueOContrato) {
  QJsonObject o =
      Json({"verificar", "--banco", banco_, "--declaracao", "12", "--exercicio", "2002", "--json"}, 1);
  EXPECT_EQ(o.keys(), (QStringList{"arvore", "consistente", "declaracao", "entradas", "exercicio", "status"}));
  EXPECT_EQ(o["declaracao"].toString(), "12");
  EXPECT_EQ(o["exercicio"].toString(), "2002");
  EXPECT_EQ(o["status"].toString(), "Esta Declaração está Inconsistente!");
  EXPECT_FALSE(o["consistente"].toBool());
  QJsonArray entradas = o["entradas"].toArray();
  ASSERT_EQ(entradas.size(), 3);
  EXPECT_EQ(entradas[0].toArray(), (QJsonArray{"Entradas", "Entradas "}));
  EXPECT_EQ(entradas[1].toArray(), (QJsonArray{"Entradas", "A:Entradas3Imp", "Março", "3"}));
  QJsonObject cab = o["arvore"].toArray()[0].toObject();
  EXPECT_EQ(cab["chave"].toString(), "Entradas");
  EXPECT_EQ(cab["imagem"].toInt(), 1);
  QJsonObject filho = cab["filhos"].toArray()[0].toObject();
  EXPECT_EQ(filho["chave"].toString(), "A:Entradas3Imp");
  EXPECT_EQ(filho["texto"].toString(), "Março");
  EXPECT_EQ(filho["imagem"].toInt(), 2);
  EXPECT_EQ(filho["mensagem"].toString(),
            "Foi informado zero como Valor do Imposto pelas Aquisições Interestaduais.\r\n\r\nCaso esta situação "
            "esteja correta, dê duplo clique sobre a Referência correspondente para prosseguir.");
}

TEST_F(Cli, StatusDeSaida) {
  struct Caso {
    QStringList args;
    int status;
  };
  const Caso casos[] = {
      {{"verificar", "--banco", banco_, "--declaracao", "1", "--exercicio", "2002"}, 0},
      {{"verificar", "--banco", banco_, "--declaracao", "5", "--exercicio", "2002"}, 1},
      {{"verificar", "--banco", banco_, "--declaracao", "abc", "--exercicio", "2002"}, 3},
      {{"verificar", "--banco", banco_}, 2},
      {{"verificar", "--banco", pasta_.filePath("nao-existe.db"), "--declaracao", "1"}, 2},
      {{"verificar", "--banco", pasta_.path(), "--declaracao", "1"}, 2},
      {{"verificar", "--banco", banco_, "--declaracao", "1", "--exercicio", "dois mil"}, 2},
      {{"verificar", "--banco", banco_, "--declaracao", "1", "--desconhecida"}, 2},
      {{"comando-que-nao-existe"}, 2},
      {{"verificar", "--help"}, 0},
      {{"verificar-kv", "--banco", banco_, "--declaracao", "7", "--exercicio", "2002"}, 1},
      {{"validar-chave", "--banco", banco_, "--declaracao", "1"}, 1},
  };
  for (const Caso& c : casos) {
    Execucao e = Roda(c.args);
    EXPECT_EQ(e.status, c.status) << c.args.join(' ').toStdString() << "\n" << e.erros.toStdString();
  }
}

TEST_F(Cli, ArquivoQueNaoEhBancoEhErroDeUsoENadaMuda) {
  QString texto = pasta_.filePath("notas.db");
  QFile f(texto);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(QByteArray(4096, 'x'));
  f.close();
  Execucao e = Roda({"verificar", "--banco", texto, "--declaracao", "1"});
  EXPECT_EQ(e.status, 2);
  EXPECT_TRUE(e.erros.contains("notas.db")) << e.erros.toStdString();
  EXPECT_EQ(Arquivo(texto), QByteArray(4096, 'x'));
  // Nothing created either.
  e = Roda({"verificar", "--banco", pasta_.filePath("outro.db"), "--declaracao", "1"});
  EXPECT_EQ(e.status, 2);
  EXPECT_FALSE(QFile::exists(pasta_.filePath("outro.db")));
  EXPECT_EQ(Roda({"exemplo", banco_}).status, 2);  // never replaces a file
}

TEST_F(Cli, ErroLevaAsEntradasAnteriores) {
  // Declaration 3 has an unfilled taxpayer; a Null tax in month 2 then fails the entries rule.
  kv::AbreSqlite(banco_.toStdString())
      ->Executa("UPDATE tblEntradas SET ImpAquisição = NULL WHERE Declaração = 3 AND Ref = 2", {});
  QJsonObject o = Json({"verificar", "--banco", banco_, "--declaracao", "3", "--exercicio", "2002", "--json"}, 3);
  EXPECT_EQ(o["erro"].toObject()["numero"].toInt(), 94);
  EXPECT_EQ(o["erro"].toObject()["descricao"].toString(), "Uso inválido de Nulo");
  EXPECT_TRUE(o["status"].isNull());
  EXPECT_EQ(o["entradas"].toArray().size(), 3);
  EXPECT_EQ(o["entradas"].toArray()[1].toArray()[1].toString(), "H:CNPJ");
}

TEST_F(Cli, ChaveDoVerificarKvEValidarChave) {
  QJsonObject o = Json({"verificar-kv", "--banco", banco_, "--declaracao", "1", "--exercicio", "2002", "--json"}, 0);
  EXPECT_EQ(o.keys(), (QStringList{"chave", "consistente", "declaracao", "entradas", "exercicio"}));
  QString chave = o["chave"].toString();
  EXPECT_TRUE(QRegularExpression("^[0-9A-F]{32}$").match(chave).hasMatch()) << chave.toStdString();
  EXPECT_TRUE(o["consistente"].toBool());
  Execucao v = Roda({"validar-chave", "--banco", banco_, "--declaracao", "1"});
  EXPECT_EQ(v.status, 0) << v.saida.toStdString();
  EXPECT_TRUE(v.saida.contains(chave.toUtf8()));

  QJsonObject kv7 =
      Json({"verificar-kv", "--banco", banco_, "--declaracao", "7", "--exercicio", "2002", "--json"}, 1);
  EXPECT_FALSE(kv7.contains("chave"));
  EXPECT_EQ(kv7["entradas"].toArray().size(), 2);
}

TEST_F(Cli, ConsistirAceitaERecusa) {
  QJsonObject o = Json({"consistir", "--banco", banco_, "--declaracao", "12", "--exercicio", "2002", "--aceitar",
                        "A:Entradas3Imp", "--aceitar", "A:Entradas725%", "--aceitar", "H:CNPJ", "--json"},
                       0);
  EXPECT_TRUE(o["consistente"].toBool());
  EXPECT_EQ(o["aceitas"].toArray(), (QJsonArray{"A:Entradas3Imp", "A:Entradas725%"}));
  EXPECT_EQ(o["recusadas"].toArray().size(), 1);
  EXPECT_EQ(o["chave"].toString().size(), 32);
  // Declaration 4 has an exit with no tax, which cannot be accepted: recorded as not consistent.
  QJsonObject o4 = Json({"consistir", "--banco", banco_, "--declaracao", "4", "--exercicio", "2002", "--aceitar",
                         "B:Saídas11Imp", "--aceitar", "B:Saídas525%", "--json"},
                        1);
  EXPECT_FALSE(o4["consistente"].toBool());
  EXPECT_EQ(o4["recusadas"].toArray()[0].toObject()["chave"].toString(), "B:Saídas11Imp");
  EXPECT_TRUE(o4["chave"].isNull());
}

}  // namespace
