// importar on the real Jet files beside the project: every value comes back exactly, the engine's own
// formats and types are read, bad files are refused with nothing written, and the checks agree.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <charconv>
#include <cstdlib>
#include <map>

#include "apoio.h"
#include "platform/db/sqlite_banco.h"
#include "platform/variant.h"

namespace {

using kv::Variant;

const QString kFixtures = KV_FIXTURES;

using kv::teste::Execucao;

class Jet : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!QDir(kFixtures).exists())
      GTEST_SKIP() << "pasta de arquivos Jet ausente: " << kFixtures.toStdString();
  }
  Execucao Roda(const QStringList& args, const QMap<QString, QString>& extra = {}) {
    return kv::teste::Roda(pasta_.path(), args, extra);
  }
  QString Importa(const QString& jet) {
    QString destino = pasta_.filePath(QFileInfo(jet).completeBaseName() + ".importado.db");
    Execucao e = Roda({"importar", kFixtures + "/" + jet, destino});
    EXPECT_EQ(e.status, 0) << jet.toStdString() << ": " << e.erros.toStdString();
    return destino;
  }
  QTemporaryDir pasta_;
};

// A value as the checks would see it, written so that two equal values give the same text.
std::string Canonico(const Variant& v, bool booleano) {
  // Jet keeps a Yes/No in the null flag: a Null was written as No.
  if (booleano || v.tipo() == Variant::Tipo::Boolean) return v.IsNull() || !v.AsBool() ? "B:0" : "B:1";
  if (v.IsNull()) return "Nulo";
  auto duplo = [](double d) {  // the shortest text that reads back as the same double
    char t[40];
    return std::string(t, std::to_chars(t, t + sizeof t, d).ptr);
  };
  if (v.tipo() == Variant::Tipo::Double) return "D:" + duplo(v.AsDouble());
  // A .db that stores an amount as a REAL beyond a Double's digits (hundreds of billions) reads back one
  // ten-thousandth off, while the Jet file has the exact amount: such amounts compare as the Double.
  if (v.tipo() == Variant::Tipo::Currency && std::llabs(v.AsCurrency().dezmilesimos) >= (1LL << 53))
    return "C~" + duplo(v.AsCurrency().ToDouble());
  return (v.tipo() == Variant::Tipo::Currency ? "C:" : v.IsString() ? "T:" : "I:") + kv::CStr(v);
}

// Every table of the database: rows in file order, each as the canonical text of its columns by name.
std::map<std::string, std::vector<std::string>> Conteudo(const QString& caminho) {
  auto db = kv::AbreSqlite(caminho.toStdString());
  std::map<std::string, std::vector<std::string>> r;
  std::vector<std::string> tabelas;
  for (auto rs = db->OpenRecordset("SELECT name FROM sqlite_master WHERE type = 'table'"); !rs->Eof();
       rs->MoveNext())
    tabelas.push_back(rs->Campo("name").AsString());
  for (const std::string& t : tabelas) {
    std::vector<std::pair<std::string, bool>> colunas;
    for (auto rs = db->OpenRecordset("SELECT name, type FROM pragma_table_info('" + t + "')"); !rs->Eof();
         rs->MoveNext())
      colunas.emplace_back(rs->Campo("name").AsString(),
                           rs->Campo("type").AsString().find("BOOL") != std::string::npos);
    auto& linhas = r[t];
    for (auto rs = db->OpenRecordset("SELECT * FROM \"" + t + "\" ORDER BY rowid"); !rs->Eof();
         rs->MoveNext()) {
      std::string linha;
      for (const auto& [c, booleano] : colunas) linha += c + "=" + Canonico(rs->Campo(c), booleano) + "|";
      linhas.push_back(linha);
    }
  }
  return r;
}

TEST_F(Jet, CadaValorVoltaExatamente) {
  for (const char* nome : {"exemplo", "gen50", "edge", "edge-plain", "stress"}) {
    auto esperado = Conteudo(kFixtures + "/" + (QString(nome) == "edge-plain" ? "edge" : nome) + ".db");
    auto importado = Conteudo(Importa(QString(nome) + ".mdb"));
    ASSERT_EQ(importado.size(), esperado.size()) << nome;
    for (const auto& [tabela, linhas] : esperado) {
      ASSERT_EQ(importado[tabela].size(), linhas.size()) << nome << " " << tabela;
      for (size_t i = 0; i < linhas.size(); ++i)
        EXPECT_EQ(importado[tabela][i], linhas[i]) << nome << " " << tabela;
    }
  }
}

// Files the Jet engine itself wrote: Jet 3 with code page 1252, extreme dates, ACE.
TEST_F(Jet, FormatosETiposDoProprioJet) {
  auto v = [](const QString& banco, const std::string& sql) {  // field v of the first row, canonical
    return Canonico(kv::AbreSqlite(banco.toStdString())->OpenRecordset(sql)->Campo("v"), false);
  };
  const QString nwind = Importa("nwind.mdb");
  EXPECT_EQ(v(nwind, "SELECT UnitPrice AS v FROM Products WHERE ProductID = 1"), "C:18");
  EXPECT_EQ(v(nwind, "SELECT Discontinued AS v FROM Products WHERE ProductID = 1"), "B:0");
  EXPECT_EQ(v(nwind, "SELECT count(*) AS v FROM [Umsätze]"), "I:830");
  EXPECT_EQ(v(nwind, "SELECT max(length(Notes)) AS v FROM Employees"), "I:448");
  EXPECT_EQ(v(nwind, "SELECT count(*) AS v FROM Customers WHERE instr(Address, char(13, 10)) > 0"), "I:8");
  const QString datas = Importa("DateTestDatabase.mdb");
  const std::string coluna =
      v(datas, "SELECT name AS v FROM pragma_table_info('DateTest') WHERE cid = 1").substr(2);
  const std::string sql =
      "SELECT group_concat([" + coluna + "], '|') AS v FROM DateTest WHERE rowid BETWEEN 2 AND 4";
  EXPECT_EQ(v(datas, sql), "T:9999-01-01 00:00:00|1898-01-01 00:00:00|0632-01-01 00:00:00");
  EXPECT_EQ(
      v(Importa("ASampleDatabase.accdb"), "SELECT Cost AS v FROM \"Asset Items\" WHERE Cost IS NOT NULL")
          .substr(0, 2),
      "C:");
}

// A file that cannot be imported gets a clear error and leaves no destination; an existing destination
// is never replaced without --substituir; libmdb's environment changes nothing.
TEST_F(Jet, ArquivosRuinsNadaGravado) {
  QFile::copy(kFixtures + "/exemplo.mdb", pasta_.filePath("inteiro.mdb"));
  QFile truncado(pasta_.filePath("truncado.mdb"));
  QFile::copy(kFixtures + "/exemplo.mdb", truncado.fileName());
  truncado.resize(truncado.size() / 2 + 1000);
  kv::teste::GravaArquivo(pasta_.filePath("texto.mdb"), "isto não é um banco de dados, só um texto\n");
  kv::teste::GravaArquivo(pasta_.filePath("vazio.mdb"), "");
  const QString existente = pasta_.filePath("existente.db");
  kv::teste::GravaArquivo(existente, "conteúdo de antes");
  struct Caso {
    QString origem, destino;
    int status;
    const char* mensagem;
  };
  const Caso casos[] = {
      {"truncado.mdb", "a.db", 3, "truncado"},
      {"texto.mdb", "b.db", 2, "não é um banco de dados Jet"},
      {"vazio.mdb", "c.db", 2, "vazio"},
      {"nao-existe.mdb", "d.db", 2, "não existe"},
      {"inteiro.mdb", "existente.db", 2, "--substituir"},
      {"inteiro.mdb", "inteiro.mdb", 2, "próprio arquivo de origem"},
  };
  for (const Caso& c : casos) {
    Execucao e = Roda({"importar", c.origem, c.destino});
    EXPECT_EQ(e.status, c.status) << c.origem.toStdString() << "\n" << e.erros.toStdString();
    EXPECT_TRUE(e.erros.contains(c.mensagem)) << c.origem.toStdString() << ": " << e.erros.toStdString();
    if (c.destino != "existente.db" && c.destino != "inteiro.mdb") {
      EXPECT_FALSE(QFile::exists(pasta_.filePath(c.destino))) << c.destino.toStdString();
    }
  }
  EXPECT_EQ(kv::teste::LeArquivo(existente), QByteArray("conteúdo de antes"));
  EXPECT_EQ(QDir(pasta_.path()).entryList({".*importando*"}, QDir::Hidden | QDir::Files).size(), 0);
  // An MDBPATH with an empty element would make libmdb search forever; it is set aside.
  Execucao v = Roda({"importar", "inteiro.mdb", "existente.db", "--substituir"}, {{"MDBPATH", ":"}});
  EXPECT_EQ(v.status, 0) << v.erros.toStdString();
  EXPECT_TRUE(v.erros.isEmpty()) << v.erros.toStdString();
}

// The checks see the imported file exactly as the database it was written from.
TEST_F(Jet, LoteNoArquivoImportadoIgualAoOriginal) {
  QString importado = Importa("gen50.mdb");
  Execucao daFonte = Roda(
      {"lote", "--banco", kFixtures + "/gen50.db", "--exercicio", "2002", "--json", "--somente-leitura"});
  Execucao copia = Roda({"lote", "--banco", importado, "--exercicio", "2002", "--json", "--somente-leitura"});
  EXPECT_EQ(copia.status, daFonte.status);
  EXPECT_EQ(copia.saida, daFonte.saida);
  EXPECT_GT(copia.saida.count('\n'), 50);
}

}  // namespace
