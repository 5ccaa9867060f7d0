// kvconsistencia as a user runs it: exit statuses, the JSON contract, usage errors that lose nothing, and
// importar on real Jet files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QThread>
#include <charconv>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <map>

#include "apoio.h"
#include "host/exemplo.h"
#include "jet/importacao.h"
#include "platform/db/sqlite_banco.h"
#include "platform/texto.h"
#include "platform/variant.h"

namespace {

using kv::teste::Contem;
using kv::teste::Execucao;
using kv::teste::GravaArquivo;
using kv::teste::LeArquivo;

const QString kFixtures = KV_FIXTURES;

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    banco_ = pasta_.filePath("ex.db");
    ASSERT_EQ(Roda({"exemplo", banco_}).status, 0);
  }
  // QTemporaryDir leaves a name that is not UTF-8 behind, with the data in it.
  void TearDown() override {
    std::error_code e;
    std::filesystem::remove_all(pasta_.path().toStdString(), e);
  }

  Execucao Roda(const QStringList& args, const QMap<QString, QString>& extra = {}) {
    return kv::teste::Roda(pasta_.path(), args, extra);
  }
  // `comando` on the example database for declaration `d` of fiscal year 2002, then `mais`.
  QStringList Cmd(const QString& comando, const QString& d, const QStringList& mais = {}) {
    return QStringList{comando, "--banco", banco_, "--declaracao", d, "--exercicio", "2002"} + mais;
  }
  // lote on `banco` for fiscal year 2002, then `mais`.
  static QStringList Lote(const QString& banco, const QStringList& mais = {}) {
    return QStringList{"lote", "--banco", banco, "--exercicio", "2002"} + mais;
  }

  // A change to the example database, as the host makes one.
  void Sql(const char* sql) { kv::AbreSqlite(banco_.toStdString())->Executa(sql, {}); }
  // A database of `n` clean declarations with `meses` months each.
  QString Limpo(const QString& nome, int n, int meses = 12) {
    QString c = pasta_.filePath(nome);
    auto b = kv::CriaSqlite(c.toStdString());
    b->Inicia();
    kv::CriaEsquema(*b);
    for (int d = 1; d <= n; ++d) kv::host::InsereDeclaracaoLimpa(*b, d, std::to_string(d), meses);
    b->Confirma();
    return c;
  }

  QJsonObject Json(const QStringList& args, int statusEsperado) {
    Execucao e = Roda(args);
    EXPECT_EQ(e.status, statusEsperado) << e.erros.toStdString();
    QJsonParseError erro;
    QJsonDocument d = QJsonDocument::fromJson(e.saida, &erro);
    EXPECT_EQ(erro.error, QJsonParseError::NoError) << e.saida.toStdString();
    return d.object();
  }

  QTemporaryDir pasta_;
  QString banco_;
};

// The JSON Lines of lote, one object each.
std::vector<QJsonObject> Linhas(const QByteArray& saida) {
  std::vector<QJsonObject> r;
  for (const QByteArray& l : saida.split('\n'))
    if (!l.isEmpty()) r.push_back(QJsonDocument::fromJson(l).object());
  return r;
}

// What programs read: verificar's JSON, verificar-kv's with the key validar-chave accepts, and lote's
// figures, which come only when asked.
TEST_F(Cli, JsonSegueOContrato) {
  QJsonObject o = Json(Cmd("verificar", "12", {"--json"}), 1);
  const QJsonArray entradas = o.take("entradas").toArray(), arvore = o.take("arvore").toArray();
  EXPECT_EQ(o, (QJsonObject{{"consistente", false},
                            {"declaracao", "12"},
                            {"exercicio", "2002"},
                            {"status", "Esta Declaração está Inconsistente!"}}));
  ASSERT_EQ(entradas.size(), 3);
  EXPECT_EQ(entradas[0].toArray(), (QJsonArray{"Entradas", "Entradas "}));
  EXPECT_EQ(entradas[1].toArray(), (QJsonArray{"Entradas", "A:Entradas3Imp", "Março", "3"}));
  const QJsonObject cab = arvore[0].toObject(), filho = cab["filhos"].toArray()[0].toObject();
  EXPECT_EQ(
      (QStringList{cab["chave"].toString(), QString::number(cab["imagem"].toInt()), filho["chave"].toString(),
                   filho["texto"].toString(), QString::number(filho["imagem"].toInt())}),
      (QStringList{"Entradas", "1", "A:Entradas3Imp", "Março", "2"}));
  EXPECT_TRUE(filho["mensagem"].toString().startsWith("Foi informado zero como Valor do Imposto"));
  EXPECT_EQ(filho["evidencia"].toArray()[1].toObject(),
            (QJsonObject{{"rotulo", "entradas interestaduais"}, {"valor", "200.00"}}));
  EXPECT_TRUE(filho["resumo"].toString().startsWith("março: imposto zero"));
  const QJsonObject detalhada = Linhas(Roda(Lote(banco_, {"--json", "--detalhes"})).saida)[7];
  EXPECT_EQ(detalhada["evidencias"].toArray()[0].toObject()["chave"].toString(), "A:Entradas3Imp");

  QJsonObject kv = Json(Cmd("verificar-kv", "1", {"--json"}), 0);
  EXPECT_EQ(kv.keys(), (QStringList{"chave", "consistente", "declaracao", "entradas", "exercicio"}));
  const QString chave = kv["chave"].toString();
  EXPECT_TRUE(QRegularExpression("^[0-9A-F]{32}$").match(chave).hasMatch()) << chave.toStdString();
  EXPECT_TRUE(kv["consistente"].toBool());
  EXPECT_TRUE(Contem(Roda({"validar-chave", "--banco", banco_, "--declaracao", "1"}).saida,
                     "confere com os dados da declaração 1: " + chave));
  QJsonObject kv7 = Json(Cmd("verificar-kv", "7", {"--json"}), 1);
  EXPECT_FALSE(kv7.contains("chave"));
  EXPECT_EQ(kv7["entradas"].toArray().size(), 2);
}

// Every exit status; and what a command needs and does not have is said before anything runs, in two
// lines, with what to do (the option or the settings key that would supply it), and as JSON to a program
// that asked for JSON.
TEST_F(Cli, StatusDeSaidaEOQueFaltaDitoAntes) {
  const QString limpo = Limpo("limpo.db", 3), ini = pasta_.filePath("config/KV.ini");
  // A FIFO is never opened as a database: a read would wait for a writer for ever.
  const QString fifo = pasta_.filePath("fila.db");
  ASSERT_EQ(::mkfifo(fifo.toUtf8().constData(), 0600), 0);
  const QString jet = QDir::cleanPath(kFixtures + "/exemplo.mdb");
  const QString danificado = QDir::cleanPath(kFixtures + "/danificados/exemplo-1byte-segv.mdb");
  const QString semDeclaracoes = pasta_.filePath("outro.db");
  kv::CriaSqlite(semDeclaracoes.toStdString())->Executa("CREATE TABLE Produtos (Nome TEXT)", {});
  const QByteArray ano = "\n[Exercicio]\nExercicioAtual=2002\n";
  const QByteArray sumiu = "[DB]\nDbAtual=" + pasta_.filePath("sumiu.db").toUtf8() + ano,
                   enorme = "[DB]\nDbAtual=/" + QByteArray(60000, 'x') + ano;
  // `comando` on `banco` for declaration `d` of 2002, then `mais`.
  auto em = [](const QString& banco, const QString& comando = "verificar", const QStringList& mais = {}) {
    return QStringList{comando, "--banco", banco, "--declaracao", "1", "--exercicio", "2002"} + mais;
  };
  const QStringList semAno = {"verificar", "--banco", banco_, "--declaracao", "1"};
  struct Caso {
    QStringList args;
    int status;
    QString mensagem = "";         // in the error stream, and in the JSON error
    QByteArray configuracao = {};  // KV.ini, or nothing
  };
  const Caso casos[] = {
      {{"--version"}, 0},
      {{"verificar", "--help"}, 0},
      {Cmd("verificar", "1"), 0},
      {Cmd("verificar", "5"), 1},
      {Cmd("verificar-kv", "7"), 1},
      {{"validar-chave", "--banco", banco_, "--declaracao", "1"}, 1},
      {Lote(limpo), 0},
      {Lote(banco_), 1},
      {em(fifo), 2, "fila.db': não é um arquivo"},
      {em(fifo, "consistir"), 2},
      {{"validar-chave", "--banco", fifo, "--declaracao", "1"}, 2},
      {Lote(fifo), 2},
      // One damage, one status, whatever the command.
      {em(danificado), 3},
      {Lote(danificado), 3},
      // A Jet file is never written: the commands that record refuse it, about the file the user named.
      {em(jet, "consistir"), 2, "é um arquivo Jet"},
      {em(jet, "verificar-kv"), 2,
       "nunca é gravado; importe-o e use a cópia: kvconsistencia importar " + jet},
      {{"verificar", "--banco", jet, "--declaracao", "999", "--exercicio", "2002"},
       2,
       "a declaração 999 não existe em '" + jet + "'"},
      // A path that does not exist is a usage error before anything runs.
      {{"lote", "--exercicio", "2002", pasta_.path(), pasta_.filePath("nao-existe.db")}, 2, "não existe"},
      {Cmd("verificar", "abc"), 2, "número de declaração inválido: 'abc' (use um número inteiro positivo"},
      {Cmd("verificar", "0"), 2, "número de declaração inválido: '0'"},
      {semAno + QStringList{"--exercicio", "1989"}, 2, "exercício inválido: '1989'"},
      {semAno + QStringList{"--exercicio", "02"}, 2, "exercício inválido: '02'"},
      {semAno + QStringList{"--exercicio", "dois mil"}, 2, "exercício inválido: 'dois mil'"},
      {em(banco_, "verificar", {"--declaracao", "2"}), 2, "--declaracao foi dada mais de uma vez"},
      {em(pasta_.filePath("nao-existe.db")), 2, "nao-existe.db': o banco de dados não existe"},
      {em(pasta_.path()), 2, "': não é um arquivo"},
      {em(KV_PROGRAMA), 2, "': não é um banco de dados SQLite"},
      {{"exemplo", banco_}, 2, "ex.db' já existe; apague-o ou escolha outro nome"},
      {em(banco_, "verificar", {"sobrando"}), 2, "argumento inesperado: sobrando"},
      {em(banco_, "verificar", {"--declaracao"}), 2, "falta o valor da opção --declaracao"},
      {{"lote", "--banco", limpo}, 2, "a opção --exercicio é obrigatória"},
      {Lote(limpo, {"--tarefas", "0"}), 2, "--tarefas deve ser um número inteiro de 1 a 256"},
      {semAno, 2, "falta o exercício: use --exercicio AAAA ou defina ExercicioAtual na seção [Exercicio] de"},
      {{"verificar", "--declaracao", "1", "--exercicio", "2002"},
       2,
       "falta o banco de dados: use --banco ARQUIVO ou defina DbAtual na seção"},
      {{"validar-chave", "--declaracao", "1"}, 2, "falta o banco de dados"},
      {{"verificar", "--declaracao", "1"}, 2, "sumiu.db' (DbAtual na seção [DB] de", sumiu},
      // A huge setting is quoted in part, with its length.
      {{"verificar", "--declaracao", "1"}, 2, "xxx…(60001 bytes)' (DbAtual", enorme},
      // Everything missing is named at once.
      {{"verificar"}, 2, "faltam a opção --declaracao N, o banco de dados (--banco ARQUIVO, ou DbAtual"},
      {{"verificar-kv", "--banco", banco_}, 2, "faltam a opção --declaracao N e a opção --exercicio AAAA"},
      // A misspelt command or option gets the nearest one; accented spellings are the same options.
      {{"verifcar"}, 2, "comando desconhecido: verifcar (você quis dizer 'verificar'?)"},
      {{"verificar", "--declaracoa", "1"},
       2,
       "opção desconhecida: --declaracoa (você quis dizer '--declaracao'?)"},
      {{"verificar", "--declaração", "999", "--exercício", "2002", "--banco", banco_},
       2,
       "a declaração 999 não"},
      {Lote(semDeclaracoes), 2, "não é um banco de declarações: falta a tabela tblDeclaração"},
      {em(semDeclaracoes), 2, "não é um banco de declarações: falta a tabela tblDeclaração"},
      {{"lote", "--exercicio", "2002"}, 2, "falta o banco de dados: use --banco ARQUIVO, ou dê os caminhos"},
      {{"help", "verificr"}, 2, "comando desconhecido: verificr (você quis dizer 'verificar'?)"},
      {Cmd("verificar", "1", {"--html", "/nao/r.html"}), 2,
       "a pasta do arquivo de saída '/nao/r.html' não existe"},
      {{"exemplo", "nao/existe/x.db"}, 2, "a pasta de 'nao/existe/x.db' não existe"},
      {{"importar", jet, pasta_.path() + "/"}, 2, "é uma pasta; dê o nome do banco de dados"},
      {{"importar", jet, pasta_.filePath("nao/x.db")}, 2, "a pasta do destino"},
  };
  for (const Caso& c : casos) {
    if (c.args.join(' ').contains("/fixtures/") && !QDir(kFixtures).exists()) continue;
    QFile::remove(ini);
    if (!c.configuracao.isEmpty()) GravaArquivo(ini, c.configuracao);
    Execucao e = Roda(c.args);
    EXPECT_EQ(e.status, c.status) << c.args.join(' ').toStdString() << "\n" << e.erros.toStdString();
    if (c.mensagem.isEmpty()) continue;
    EXPECT_TRUE(Contem(e.erros, c.mensagem));
    // The problem, then where help is; a Jet file checked through its copy says so first.
    EXPECT_EQ(e.erros.count('\n'), c.args[0] == "verificar" && c.args.contains(jet) ? 3 : 2)
        << e.erros.toStdString();
    if (QStringList{"validar-chave", "exemplo", "help"}.contains(c.args[0])) continue;  // no --json
    QStringList json = c.args;
    json.insert(1, "--json");
    const QJsonObject erro = QJsonDocument::fromJson(Roda(json).saida).object()["erro"].toObject();
    EXPECT_TRUE(Contem(erro["descricao"].toString().toUtf8(), c.mensagem));
  }
}

// lote gives each declaration's line as verificar gives it, in order; an error (with the entries found
// before it) is its declaration's line, and the others go on; then a summary.
TEST_F(Cli, LoteConcordaComVerificarEUmErroNaoParaOsOutros) {
  // Declaration 3 has an unfilled taxpayer; a Null tax in month 2 then fails the entries rule.
  Sql("UPDATE tblEntradas SET ImpAquisição = NULL WHERE Declaração = 3 AND Ref = 2");
  QJsonObject o = Json(Cmd("verificar", "3", {"--json"}), 3);
  EXPECT_EQ(o["erro"].toObject(), (QJsonObject{{"numero", 94}, {"descricao", "Uso inválido de Nulo"}}));
  EXPECT_TRUE(o["status"].isNull());
  EXPECT_EQ(o["entradas"].toArray().size(), 3);
  EXPECT_EQ(o["entradas"].toArray()[1].toArray()[1].toString(), "H:CNPJ");
  Execucao e = Roda(Lote(banco_, {"--tarefas", "2", "--json"}));
  EXPECT_EQ(e.status, 3);
  auto linhas = Linhas(e.saida);
  ASSERT_EQ(linhas.size(), 9u);
  QStringList ordem;
  for (size_t i = 0; i + 1 < linhas.size(); ++i) {
    const QJsonObject& l = linhas[i];
    ordem << l["declaracao"].toString();
    const int status = l.contains("erro") ? 3 : l["consistente"].toBool() ? 0 : 1;
    QJsonObject um = Json(Cmd("verificar", ordem.last(), {"--json"}), status);
    for (const char* campo : {"declaracao", "exercicio", "status", "consistente", "entradas", "erro"})
      EXPECT_EQ(l.value(campo), um.value(campo)) << campo << " " << ordem.last().toStdString();
    EXPECT_FALSE(l.contains("evidencias"));  // the figures only with --detalhes
  }
  EXPECT_EQ(ordem, (QStringList{"1", "2", "3", "4", "5", "6", "7", "12"}));
  QJsonObject resumo = linhas.back()["resumo"].toObject();
  for (auto [campo, n] : {std::pair{"declaracoes", 8},
                          {"verificadas", 8},
                          {"consistentes", 1},
                          {"inconsistentes", 6},
                          {"falhas", 1}})
    EXPECT_EQ(resumo[campo].toInt(), n) << campo;
  EXPECT_EQ(resumo["achadosPorGrupo"].toObject()["TOVIR"].toInt(), 5);
}

TEST_F(Cli, LoteDeUmaCarteiraDePastasEArquivos) {
  const QString raiz = pasta_.filePath("carteira"), fora = pasta_.filePath("fora");
  QDir().mkpath(raiz + "/sub/mais");
  QDir().mkpath(fora);
  QFile::copy(banco_, fora + "/x.db");
  const struct {
    const char* caminho;
    std::function<void(const QString&)> cria;
    const char* esperado;  // "verificado", "ilegivel" or "" (left out)
  } casos[] = {
      {"a.db", [&](const QString& c) { QFile::copy(banco_, c); }, "verificado"},
      {"sub/mais/b.sqlite", [&](const QString& c) { QFile::copy(banco_, c); }, "verificado"},
      {"sub/c.mdb", [](const QString& c) { QFile::copy(kFixtures + "/exemplo.mdb", c); }, "verificado"},
      {"sub/notas.txt", [](const QString& c) { GravaArquivo(c, "texto\n"); }, ""},
      {"ruim.db", [](const QString& c) { GravaArquivo(c, QByteArray(4096, 'x')); }, "ilegivel"},
      {"sub/link.db", [&](const QString& c) { QFile::link(fora + "/x.db", c); }, ""},
      {"sub/pasta", [&](const QString& c) { QFile::link(fora, c); }, ""},
  };
  for (const auto& c : casos) c.cria(raiz + "/" + c.caminho);
  // A name that is not UTF-8 is checked like any other, and shown with escapes.
  const std::string naoUtf8 = (raiz + "/sub/x").toStdString() + "\xff.db";
  ASSERT_EQ(::link(banco_.toUtf8().constData(), naoUtf8.c_str()), 0);
  const auto antes = kv::teste::Retrato(pasta_.path().toStdString());
  // The folder, and one of its files named again.
  Execucao e = Roda({"lote", "--exercicio", "2002", "--json", raiz, "--banco", raiz + "/a.db"});
  EXPECT_EQ(e.status, 3) << e.erros.toStdString();
  std::map<QString, std::vector<QJsonObject>> porBanco;
  auto linhas = Linhas(e.saida);
  for (size_t i = 0; i + 1 < linhas.size(); ++i) porBanco[linhas[i]["banco"].toString()].push_back(linhas[i]);
  for (const auto& c : casos) {
    const QString nome = raiz + "/" + c.caminho;
    const std::string esperado = c.esperado;
    ASSERT_EQ(porBanco.count(nome), esperado.empty() ? 0u : 1u) << c.caminho;
    if (esperado == "ilegivel") {
      ASSERT_EQ(porBanco[nome].size(), 1u);
      EXPECT_TRUE(
          Contem(porBanco[nome][0]["erro"].toObject()["descricao"].toString().toUtf8(), "não é um banco"));
    }
    if (esperado != "verificado") continue;
    // The same lines as a run of that file alone.
    auto sozinho = Linhas(Roda({"lote", "--exercicio", "2002", "--json", "--banco", nome}).saida);
    ASSERT_EQ(porBanco[nome].size() + 1, sozinho.size()) << c.caminho;
    for (size_t i = 0; i < porBanco[nome].size(); ++i) {
      QJsonObject l = porBanco[nome][i];
      l.remove("banco");
      EXPECT_EQ(l, sozinho[i]) << c.caminho << " " << i;
    }
  }
  const QJsonObject resumo = linhas.back()["resumo"].toObject();
  EXPECT_EQ(resumo["arquivos"].toInt(), 5);
  EXPECT_EQ(resumo["arquivosIlegiveis"].toInt(), 1);
  EXPECT_EQ(resumo["arquivosComProblemas"].toArray().size(), 5);
  EXPECT_EQ(resumo["declaracoes"].toInt(), 32);
  EXPECT_EQ(resumo["achadosPorTipo"].toObject()["A:25%"].toInt(), 4);
  EXPECT_EQ(resumo["achadosPorTipo"].toObject()["E:TOVIR 2.2 Dpl"].toInt(), 4);
  // Text: the files with problems, then the kinds by count; nothing in the folders changed or added.
  Execucao texto = Roda({"lote", "--exercicio", "2002", raiz});
  EXPECT_TRUE(Contem(texto.saida, "\nArquivos: 5, com problemas: 5 (1 ilegíveis)\n  " + raiz +
                                      "/a.db: 7 declarações inconsistentes\n"));
  EXPECT_TRUE(Contem(texto.saida, raiz + "/sub/x\\xff.db: 7 declarações inconsistentes\n"));
  EXPECT_TRUE(Contem(texto.saida, "Achados por tipo:\n  4  A:25%\n"));
  const QString porNome = "exec \"$0\" verificar --banco \"$(printf '" + raiz + "/sub/x\\377.db')\" " +
                          "--declaracao 12 --exercicio 2002";
  EXPECT_EQ(kv::teste::Roda(pasta_.path(), {"-c", porNome, KV_PROGRAMA}, {}, "/bin/sh").status, 1);
  EXPECT_TRUE(Contem(texto.erros, "sub/c.mdb é um arquivo Jet"));
  // Only what needs attention; the report opens with the files, failing first, and the kinds' meanings,
  // and a clean declaration is a line without a section.
  const QString relatorio = pasta_.filePath("carteira.html");
  Execucao so = Roda({"lote", "--exercicio", "2002", raiz, "--so-problemas", "--html", relatorio});
  EXPECT_FALSE(so.saida.contains("Declaração 1: consistente")) << so.saida.toStdString();
  EXPECT_TRUE(Contem(so.saida, "/a.db: Declaração 12: inconsistente"));
  EXPECT_TRUE(Contem(so.erros, "relatório gravado em " + relatorio));
  const QString html = QString::fromUtf8(LeArquivo(relatorio));
  QFile::remove(relatorio);
  const auto indice = html.indexOf("<section");
  EXPECT_TRUE(html.lastIndexOf("ruim.db</a></td><td><span class=\"falha\">Ilegível: erro 3024", indice) > 0);
  EXPECT_TRUE(Contem(html.toUtf8(), "<td>Entradas: imposto acima de 25% das entradas interestaduais</td>"));
  EXPECT_TRUE(Contem(html.toUtf8(), "<tr><td>1</td><td><span class=\"consistente\">"));
  EXPECT_FALSE(html.contains("d1\"")) << html.toStdString();
  // A report is never written over a file of the portfolio.
  EXPECT_EQ(Roda({"lote", "--exercicio", "2002", raiz, "--html", raiz + "/sub/c.mdb"}).status, 2);
  EXPECT_EQ(kv::teste::Retrato(pasta_.path().toStdString()), antes);
}

TEST_F(Cli, LoteInterrompidoParaDepoisDasEmAndamentoEPreservaOBanco) {
  const QString grande = Limpo("grande.db", 600, 6);
  QProcess p;
  p.setProcessEnvironment(kv::teste::Ambiente(pasta_.path()));
  // Fiscal year 2000: every declaration also writes its enrolment answer while others read.
  p.start(KV_PROGRAMA, {"lote", "--banco", grande, "--exercicio", "2000", "--tarefas", "2", "--json"});
  ASSERT_TRUE(p.waitForReadyRead(30000));
  ::kill(static_cast<pid_t>(p.processId()), SIGINT);
  ASSERT_TRUE(p.waitForFinished(60000));
  EXPECT_EQ(p.exitCode(), 130);
  auto linhas = Linhas(p.readAllStandardOutput());
  ASSERT_FALSE(linhas.empty());
  QJsonObject resumo = linhas.back()["resumo"].toObject();
  EXPECT_TRUE(resumo["interrompido"].toBool());
  EXPECT_LT(resumo["verificadas"].toInt(), 600);
  EXPECT_EQ(static_cast<int>(linhas.size()) - 1, resumo["verificadas"].toInt());
  EXPECT_EQ(resumo["falhas"].toInt(), 0);
  auto b = kv::AbreSqlite(grande.toStdString());
  EXPECT_EQ(b->OpenRecordset("PRAGMA integrity_check")->Campo("integrity_check").AsString(), "ok");
}

// consistir records where the acceptances leave the declaration: consistent with its key, or not
// consistent while an error is left. A recorded key stands for the data it sealed: once the data change,
// the flag no longer says consistent.
TEST_F(Cli, ConsistirGravaEChaveQueNaoConfereNaoValeComoConsistente) {
  QJsonObject o = Json(
      Cmd("consistir", "12",
          {"--aceitar", "A:Entradas3Imp", "--aceitar", "A:Entradas725%", "--aceitar", "H:CNPJ", "--json"}),
      0);
  EXPECT_TRUE(o["consistente"].toBool());
  // The status is where the declaration stands after the acceptances and the final check.
  EXPECT_EQ(o["status"].toString(), "Esta Declaração está consistente!");
  EXPECT_EQ(o["aceitas"].toArray(), (QJsonArray{"A:Entradas3Imp", "A:Entradas725%"}));
  EXPECT_EQ(o["recusadas"].toArray().size(), 1);
  EXPECT_EQ(o["chave"].toString().size(), 32);

  QJsonObject gravada = Json(Cmd("verificar", "12", {"--json"}), 0);
  EXPECT_FALSE(gravada.contains("aviso"));
  EXPECT_EQ(gravada["arvore"].toArray()[0].toObject()["filhos"].toArray()[0].toObject()["imagem"].toInt(), 3);
  // Accepted warnings leave nothing that needs attention.
  EXPECT_FALSE(Roda(Lote(banco_, {"--so-problemas"})).saida.contains("Declaração 12"));
  Sql("UPDATE tblSaídas SET ImpDevido = 0 WHERE Declaração = 12 AND Ref = 11");
  QJsonObject v = Json(Cmd("verificar", "12", {"--json"}), 1);
  EXPECT_EQ(v["status"].toString(), "Esta Declaração está Inconsistente!");
  EXPECT_EQ(v["aviso"].toString(), "a chave gravada não confere com os dados atuais");
  for (const auto& cab : v["arvore"].toArray())
    for (const auto& f : cab.toObject()["filhos"].toArray()) EXPECT_EQ(f.toObject()["imagem"].toInt(), 2);
  QJsonObject c = Json(Cmd("consistir", "12", {"--json"}), 1);
  EXPECT_FALSE(c["consistente"].toBool());
  EXPECT_TRUE(c["chave"].isNull());
  EXPECT_EQ(Roda({"validar-chave", "--banco", banco_, "--declaracao", "12"}).status, 1);

  // A flag without its key proves nothing: declaration 3 has errors that can never be accepted, and no
  // command may call it consistent or seal it.
  Sql("UPDATE tblDeclaração SET Consistente = 1, Chave = NULL WHERE Declaração = 3");
  EXPECT_EQ(Json(Cmd("verificar", "3", {"--json"}), 1)["aviso"].toString(),
            "não tem chave de consistência gravada");
  EXPECT_FALSE(Json(Cmd("consistir", "3", {"--json"}), 1)["consistente"].toBool());
  EXPECT_EQ(Roda({"validar-chave", "--banco", banco_, "--declaracao", "3"}).status, 1);

  // A clean declaration stays consistent when its data change after the key, but verificar says the key
  // no longer seals them; lote says it when asked to check clean declarations' keys too.
  Json(Cmd("consistir", "1", {"--json"}), 0);
  Sql("UPDATE tblEntradas SET EntradaInterna = EntradaInterna + 1 WHERE Declaração = 1 AND Ref = 2");
  EXPECT_EQ(Json(Cmd("verificar", "1", {"--json"}), 0)["aviso"].toString(),
            "a chave gravada não confere com os dados atuais");
  EXPECT_TRUE(Contem(Roda(Cmd("verificar", "1")).saida, "mas a chave gravada não confere"));
  for (const bool conferir : {false, true}) {
    const auto linhas = Linhas(
        Roda(Lote(banco_, conferir ? QStringList{"--json", "--conferir-chaves"} : QStringList{"--json"}))
            .saida);
    EXPECT_EQ(linhas[0]["aviso"].toString(),
              conferir ? "a chave gravada não confere com os dados atuais" : "");
    EXPECT_EQ(linhas.back()["resumo"].toObject()["avisos"].toInt(), conferir ? 1 : 0);
  }
}

// Options hold for their run only: two runs at once on two databases never see each other's, and the
// host's settings file is not touched.
TEST_F(Cli, ExecucoesSimultaneasNaoCruzamBancos) {
  const QString outro = pasta_.filePath("outro.db"), ini = pasta_.filePath("config/KV.ini");
  ASSERT_EQ(Roda({"exemplo", outro}).status, 0);
  kv::AbreSqlite(outro.toStdString())
      ->Executa("UPDATE tblEntradas SET ImpAquisição = 0, EntradaInter = 5 WHERE Declaração = 1 AND Ref = 4",
                {});
  const QByteArray doHost = "[DB]\r\nDbAtual=C:\\Tarvo\\kv.mdb\r\n";
  GravaArquivo(ini, doHost);
  for (int i = 0; i < 120; ++i) {
    auto a = std::async(std::launch::async, [&] { return Roda(Cmd("consistir", "1", {"--json"})); });
    Execucao b = Roda({"consistir", "--banco", outro, "--declaracao", "1", "--exercicio", "2001", "--json"});
    Execucao ea = a.get();  // consistent in 2002; the other inconsistent in 2001
    ASSERT_TRUE(ea.status == 0 && ea.saida.contains("\"exercicio\": \"2002\"") && b.status == 1 &&
                b.saida.contains("\"exercicio\": \"2001\""))
        << i << ea.saida.toStdString() << b.saida.toStdString();
  }
  EXPECT_EQ(LeArquivo(ini), doHost);
  EXPECT_EQ(Roda({"validar-chave", "--banco", banco_, "--declaracao", "1"}).status, 0);
  EXPECT_EQ(Roda({"validar-chave", "--banco", outro, "--declaracao", "1"}).status, 1);
}

// An output file never replaces an input (the database checked, any other SQLite file), but an ordinary
// report replaces an old one whole; new files with the taxpayer's data (a report, the settings file) get
// the user's umask, never more.
TEST_F(Cli, SaidaNuncaSobrescreveUmBancoESegueAUmask) {
  QString outro = pasta_.filePath("outro.db");
  ASSERT_EQ(Roda({"exemplo", outro}).status, 0);
  QString ligacao = pasta_.filePath("ligacao.html");
  QFile::link(banco_, ligacao);
  // A Jet file is known by its header, whatever its name.
  const QString jet = pasta_.filePath("jet.html"), pastaDeSaida = pasta_.filePath("relatorios");
  GravaArquivo(jet, QByteArray(4, '\0') + "Standard Jet DB" + QByteArray(64, '\0'));
  QDir().mkpath(pastaDeSaida);
  const QByteArray antes = LeArquivo(banco_), antesOutro = LeArquivo(outro), antesJet = LeArquivo(jet);
  const std::pair<QString, const char*> saidas[] = {
      {banco_, "banco de dados"},  {pasta_.path() + "/./ex.db", "banco de dados"},
      {ligacao, "banco de dados"}, {outro, "banco de dados"},
      {jet, "é um arquivo Jet"},   {pastaDeSaida, "é uma pasta; dê o nome do relatório"},
  };
  for (const auto& [saida, mensagem] : saidas)
    for (const QStringList& args :
         {Cmd("verificar", "12", {"--html", saida}), Lote(banco_, {"--html", saida})}) {
      Execucao e = Roda(args);
      EXPECT_EQ(e.status, 2) << args.join(' ').toStdString();
      EXPECT_TRUE(Contem(e.erros, mensagem));
    }
  EXPECT_EQ(LeArquivo(banco_), antes);
  EXPECT_EQ(LeArquivo(outro), antesOutro);
  EXPECT_EQ(LeArquivo(jet), antesJet);
  EXPECT_TRUE(QDir(pastaDeSaida).isEmpty());
  const QString relatorio = pasta_.filePath("r.html"), ini = pasta_.filePath("config/KV.ini");
  const mode_t mascara = ::umask(077);
  Execucao r = Roda(Cmd("verificar", "12", {"--html", relatorio}));
  Execucao k = Roda(Cmd("verificar-kv", "1"));
  ::umask(mascara);
  EXPECT_EQ(r.status, 1) << r.erros.toStdString();
  EXPECT_EQ(k.status, 0) << k.erros.toStdString();
  EXPECT_TRUE(LeArquivo(relatorio).startsWith("<!DOCTYPE html>"));
  for (const QString& arquivo : {relatorio, ini}) {
    struct stat st {};
    ASSERT_EQ(::stat(arquivo.toLocal8Bit().constData(), &st), 0) << arquivo.toStdString();
    EXPECT_EQ(st.st_mode & 0777, 0600u) << arquivo.toStdString();
  }
}

// Bad databases: a clear error, no crash, the file intact; a database another writer holds, the same.
TEST_F(Cli, BancoRuimDaErroClaroENaoMudaOArquivo) {
  const struct {
    std::string estrago;   // "truncar", "corromper" or statements run on the copy
    int status;            // 0: 2 or 3, as far as the damage is found before or during the check
    const char* mensagem;  // expected in the output or error stream
  } casos[] = {
      {"truncar", 0, ""},
      {"corromper", 0, ""},
      {"DROP TABLE tblTOVIR", 2, "não é um banco de declarações: falta a tabela tblTOVIR"},
      {"ALTER TABLE tblEntradas DROP COLUMN ImpAquisição", 3, "ImpAquisição"},
      {"UPDATE tblEntradas SET ImpAquisição = 'abc' WHERE Declaração = 1 AND Ref = 2", 3,
       "Tipos incompatíveis: campo ImpAquisição da tabela tblEntradas com o valor \\\"abc\\\", Declaração 1, "
       "Ref 2 (SQL: SELECT * FROM tblEntradas WHERE (Declaração = 1))"},
      {"UPDATE tblEntradas SET EntradaInter = 1e20 WHERE Declaração = 1", 3, "Estouro"},
      // An amount the rule compares as a Double: too large for Currency, its figures show it as stored.
      {"CREATE TABLE t AS SELECT * FROM tblEntradas; DROP TABLE tblEntradas; CREATE TABLE tblEntradas "
       "(Declaração INTEGER, Ref INTEGER, EntradaInter DOUBLE, ImpAquisição CURRENCY, EntradaInterna "
       "CURRENCY); INSERT INTO tblEntradas SELECT * FROM t; UPDATE tblEntradas SET EntradaInter = 1e16, "
       "ImpAquisição = 0 WHERE Declaração = 1 AND Ref = 2",
       1, "\"valor\": \"1e+16\""},
  };
  for (const auto& c : casos) {
    QString banco = pasta_.filePath(QString("ruim%1.db").arg(&c - casos));
    QFile::copy(banco_, banco);
    QFile f(banco);
    if (c.estrago == "truncar") {
      f.resize(f.size() / 3);
    } else if (c.estrago == "corromper" && f.open(QIODevice::ReadWrite)) {
      for (qint64 p = 4096 + 100; p + 412 < f.size(); p += 4096) {  // every page past the first
        f.seek(p);
        f.write(QByteArray(400, '\xA5'));
      }
    } else {
      for (const std::string& sql : kv::Divide(c.estrago, "; "))
        kv::AbreSqlite(banco.toStdString())->Executa(sql, {});
    }
    QByteArray antes = LeArquivo(banco);
    Execucao e = Roda({"verificar", "--banco", banco, "--declaracao", "1", "--exercicio", "2002", "--json"});
    EXPECT_FALSE(e.caiu) << c.estrago;
    EXPECT_TRUE(c.status ? e.status == c.status : e.status == 2 || e.status == 3)
        << c.estrago << ": status " << e.status << "\n"
        << e.erros.toStdString();
    EXPECT_TRUE(Contem(e.saida + e.erros, c.mensagem)) << c.estrago;
    EXPECT_EQ(LeArquivo(banco), antes) << c.estrago << ": the file changed";
  }
  auto outro = kv::AbreSqlite(banco_.toStdString());
  outro->Executa("BEGIN EXCLUSIVE", {});
  QElapsedTimer relogio;
  relogio.start();
  Execucao e = Roda(Cmd("verificar", "1", {"--json"}));
  EXPECT_LT(relogio.elapsed(), 8000);  // waited once for the lock (5 s), not once per opening
  outro->Desfaz();
  EXPECT_EQ(e.status, 3);
  EXPECT_TRUE(Contem(e.saida, "\"numero\": 3005") && Contem(e.saida, "locked"));
}

// Every command's help describes every option it takes; `help COMANDO` is the same help; an option the
// help names is taken.
TEST_F(Cli, AjudaDescreveCadaOpcao) {
  const std::map<QString, QStringList> opcoes = {
      {"verificar", {"--declaracao", "--banco", "--exercicio", "--json", "--html", "--somente-leitura"}},
      {"consistir", {"--declaracao", "--banco", "--exercicio", "--aceitar", "--json"}},
      {"verificar-kv", {"--declaracao", "--banco", "--exercicio", "--ie", "--json"}},
      {"validar-chave", {"--declaracao", "--banco", "--exercicio"}},
      {"lote",
       {"--banco", "--exercicio", "--tarefas", "--json", "--html", "--somente-leitura", "--detalhes",
        "--so-problemas", "--conferir-chaves"}},
      {"importar", {"--substituir", "--json"}},
      {"janela", {"--declaracao", "--banco", "--exercicio"}},
  };
  for (const auto& [comando, lista] : opcoes) {
    const QString ajuda = QString::fromUtf8(Roda({comando, "--help"}).saida);
    for (const QString& opcao : lista)
      EXPECT_TRUE(ajuda.contains(QRegularExpression("\\n  " + opcao + "\\b")))
          << comando.toStdString() << " " << opcao.toStdString() << "\n"
          << ajuda.toStdString();
  }
  EXPECT_EQ(Roda({"help", "verificar"}).saida, Roda({"verificar", "--help"}).saida);
  EXPECT_NE(Roda({"validar-chave", "--banco", banco_, "--declaracao", "1", "--exercicio", "2002"}).status, 2);
}

// Text output for people: the outcome on standard output in the order things happened, how to accept a
// warning, the same tree from every command, what a check wrote, and a read-only mode that writes nothing.
TEST_F(Cli, SaidaDeTextoParaPessoas) {
  // One hint per declaration, quoted for the shell: pasted as printed, it records the declaration, and
  // says what happened in that order.
  Execucao doze = Roda(Cmd("verificar", "12"));
  const QString dica = QString::fromUtf8(doze.saida).trimmed().section('\n', -1).trimmed();
  EXPECT_TRUE(dica.startsWith("kvconsistencia consistir --banco " + banco_)) << doze.saida.toStdString();
  const QString bin = QFileInfo(KV_PROGRAMA).absolutePath();
  Execucao c = kv::teste::Roda(pasta_.path(), {"-c", dica}, {{"PATH", bin + ":/usr/bin:/bin"}}, "/bin/sh");
  EXPECT_EQ(c.status, 0);
  EXPECT_TRUE(c.erros.isEmpty()) << c.erros.toStdString();
  const QRegularExpression ordem(
      "✓ Março.*Aceita: A:Entradas725%.*Esta Declaração está consistente!.*Consistência efetuada com "
      "sucesso!.*Resultado gravado: consistente.*Chave de consistência: ",
      QRegularExpression::DotMatchesEverythingOption);
  EXPECT_TRUE(ordem.match(QString::fromUtf8(c.saida)).hasMatch()) << c.saida.toStdString();
  EXPECT_EQ(Roda({"validar-chave", "--banco", banco_, "--declaracao", "12"}).status, 0);
  // With an error to correct: said apart, and left out of the command.
  Execucao v = Roda(Cmd("verificar", "4"));
  EXPECT_TRUE(
      Contem(v.saida, "Corrija no programa de origem (erros não podem ser aceitos): B:Saídas11Imp\n"));
  EXPECT_TRUE(Contem(v.saida, " --declaracao 4 --exercicio 2002 --aceitar 'B:Saídas525%'\n"));
  EXPECT_FALSE(v.saida.contains("--aceitar 'B:Saídas11Imp'"));
  Execucao kv = Roda(Cmd("verificar-kv", "7"));
  EXPECT_TRUE(Contem(kv.saida,
                     "◆ Declaração de Enquadramento\n  ✗ Enquadramento Ignorado  [F:-1]\n      Na Declaração "
                     "de Enquadramento não há opção selecionada."));
  EXPECT_FALSE(kv.saida.contains(" # "));
  // The database from the settings is the one the hint names.
  GravaArquivo(pasta_.filePath("config/KV.ini"), "[DB]\nDbAtual=" + banco_.toUtf8() + "\n");
  EXPECT_TRUE(Contem(Roda({"verificar-kv", "--declaracao", "5", "--exercicio", "2002"}).saida,
                     "consistir --banco " + banco_ + " --declaracao 5"));
  QStringList numeros;
  for (const QString& l : QString::fromUtf8(Roda({"exemplo", pasta_.filePath("novo.db")}).saida).split('\n'))
    if (l.contains("Declaração ")) numeros << l.section(':', 0, 0).section(' ', -1);
  EXPECT_EQ(numeros, (QStringList{"1", "2", "3", "4", "5", "6", "7", "12"}));
}

TEST_F(Cli, EnquadramentoAntesDe2001GravadoOuSoInformado) {
  const QByteArray antes = LeArquivo(banco_);
  QStringList base = {"--banco", banco_, "--exercicio", "2000", "--somente-leitura"};
  Execucao v = Roda(QStringList{"verificar", "--declaracao", "7"} + base);
  EXPECT_EQ(v.status, 0) << v.erros.toStdString();
  EXPECT_TRUE(
      Contem(v.saida, "DeAcordo = 1 não gravado na declaração 7: o banco foi aberto somente para leitura"));
  EXPECT_TRUE(Contem(Roda(QStringList{"lote", "--tarefas", "2"} + base).saida,
                     "Declaração 7: consistente; DeAcordo = 1 não gravado"));
  EXPECT_EQ(LeArquivo(banco_), antes);
  // A Jet file is checked through a read-only copy: the write is only reported.
  EXPECT_TRUE(Contem(
      Roda({"verificar", "--banco", kFixtures + "/exemplo.mdb", "--declaracao", "12", "--exercicio", "2000"})
          .saida,
      "não gravado na declaração 12"));
  Execucao g = Roda({"verificar", "--banco", banco_, "--declaracao", "7", "--exercicio", "2000"});
  EXPECT_TRUE(Contem(g.saida, "DeAcordo = 1 gravado na declaração 7 (exercício anterior a 2001)"));
  auto rs = kv::AbreSqlite(banco_.toStdString())
                ->OpenRecordset("SELECT DeAcordo FROM tblDeclaração WHERE Declaração = 7");
  EXPECT_EQ(rs->Campo("DeAcordo").AsInt(), 1);
}

// What a terminal may be given: valid UTF-8 with no control character but line breaks and tabs, and no
// character that reorders a line. Returns what is wrong, or "".
std::string Inseguro(const QByteArray& b) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString s = utf8.decode(b);
  if (utf8.hasError()) return "UTF-8 inválido";
  for (QChar c : s) {
    const char16_t u = c.unicode();
    if ((u < 0x20 && u != '\n' && u != '\t') || (u >= 0x7F && u < 0xA0) || u == 0x061C || u == 0x200E ||
        u == 0x200F || (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069))
      return "caractere U+" + QString::number(u, 16).toStdString();
  }
  return "";
}

// Texts from a hostile database (escape sequences, NUL, bytes that are not UTF-8, right-to-left
// overrides, markup) reach no terminal raw, cut no report short and never break JSON or HTML.
TEST_F(Cli, TextosHostisSaemVisiveisEInteiros) {
  // A file name is data too: a line break in it never starts a line or a heading of its own.
  const QString carteira = pasta_.filePath("carteira"), relatorio = pasta_.filePath("carteira.html");
  QDir().mkpath(carteira);
  QFile::copy(banco_, carteira + "/quebra\nde linha.db");
  Execucao porNome = Roda({"lote", "--exercicio", "2002", carteira, "--html", relatorio});
  for (const QByteArray& saida : {porNome.saida, LeArquivo(relatorio)}) {
    EXPECT_TRUE(Contem(saida, "quebra\\x0ade linha.db"));
    EXPECT_FALSE(saida.contains("quebra\nde")) << saida.toStdString();
  }
  const QString hostis = kFixtures + "/../hostis";
  if (!QDir(hostis).exists()) GTEST_SKIP() << "pasta de bancos hostis ausente";
  for (const QString& nome : QDir(hostis).entryList({"*.db"})) {
    const QString banco = pasta_.filePath(nome), html = pasta_.filePath(nome + ".html");
    ASSERT_TRUE(QFile::copy(hostis + "/" + nome, banco));
    const std::string n = nome.toStdString();
    const QStringList base = {"--banco", banco, "--exercicio", "2002"};
    QStringList declaracoes;  // read first: an open read would hold the commands' writes back
    for (auto rs = kv::AbreSqlite(banco.toStdString())->OpenRecordset("SELECT Declaração FROM tblDeclaração");
         !rs->Eof(); rs->MoveNext())
      declaracoes << QString::fromStdString(kv::CStr(rs->Campo("Declaração")));
    for (const QString& d : declaracoes) {
      for (const char* comando : {"verificar", "verificar-kv"}) {
        Execucao t = Roda(QStringList{comando, "--declaracao", d} + base);
        EXPECT_FALSE(t.caiu);
        EXPECT_EQ(Inseguro(t.saida) + Inseguro(t.erros), "") << n << " " << comando << " " << d.toStdString();
        Execucao j = Roda(QStringList{comando, "--declaracao", d, "--json"} + base);
        QJsonParseError erro{};
        QJsonDocument::fromJson(j.saida, &erro);
        EXPECT_EQ(erro.error, QJsonParseError::NoError) << n << " " << comando << " " << d.toStdString();
        EXPECT_EQ(Inseguro(j.saida), "") << n;
      }
    }
    Execucao l = Roda(QStringList{"lote", "--html", html} + base);
    EXPECT_EQ(Inseguro(l.saida) + Inseguro(l.erros) + Inseguro(LeArquivo(html)), "") << n;
    EXPECT_FALSE(LeArquivo(html).contains("<script")) << n;
    for (const QByteArray& linha : Roda(QStringList{"lote", "--json"} + base).saida.split('\n'))
      EXPECT_TRUE(linha.isEmpty() || !QJsonDocument::fromJson(linha).isNull())
          << n << ": " << linha.toStdString();
  }
  // The NUL in a state name is shown, and the report goes on after it.
  Execucao nul =
      Roda({"verificar", "--banco", pasta_.filePath("nul.db"), "--declaracao", "5", "--exercicio", "2002"});
  EXPECT_TRUE(Contem(nul.saida, "antes\\x00depois") && Contem(nul.saida, "Saídas Interestaduais"));
}

// A database the user may not write: before 2001 the enrolment answer fails with the database's own
// read-only error, unless the run asked for read-only, where the output says what would have been written.
TEST_F(Cli, BancoSemPermissaoDeEscritaNaoEhPuladoEmSilencio) {
  // Root writes any file, so the program runs as nobody when the tests run as root.
  QTemporaryDir pasta;
  const QString banco = pasta.filePath("ro.db");
  ASSERT_TRUE(QFile::copy(banco_, banco));
  QFile::setPermissions(pasta.path(), QFileDevice::Permissions(0x7755));
  QFile::setPermissions(banco, QFileDevice::ReadOwner | QFileDevice::ReadOther);
  for (const char* sub : {"config", "cache"}) {
    QDir().mkpath(pasta.filePath(sub));
    QFile::setPermissions(pasta.filePath(sub), QFileDevice::Permissions(0x7777));
  }
  auto roda = [&](const QStringList& args) {
    return kv::teste::Roda(pasta.path(), args, {}, KV_PROGRAMA, [] {
      if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(126);
    });
  };
  if (roda({"--help"}).status != 0) GTEST_SKIP() << "o programa não roda como outro usuário aqui";
  const QByteArray antes = LeArquivo(banco);
  const QStringList base = {"verificar", "--banco", banco, "--declaracao", "7", "--exercicio", "2000"};
  // What records on a database that cannot be written is said before the check, with what to do.
  Execucao escreve = roda(base);
  EXPECT_EQ(escreve.status, 2) << escreve.saida.toStdString();
  EXPECT_TRUE(Contem(escreve.erros, "não pode ser gravado") && Contem(escreve.erros, "--somente-leitura"));
  Execucao consistir = roda({"consistir", "--banco", banco, "--declaracao", "12", "--exercicio", "2002",
                             "--aceitar", "A:Entradas3Imp"});
  EXPECT_EQ(consistir.status, 2) << consistir.saida.toStdString();
  EXPECT_FALSE(consistir.saida.contains("Aceita:"));
  EXPECT_EQ(roda({"janela", "--banco", banco, "--declaracao", "12", "--exercicio", "2002"}).status, 2);
  EXPECT_TRUE(Contem(roda(base + QStringList{"--somente-leitura"}).saida, "DeAcordo = 1 não gravado"));
  EXPECT_EQ(LeArquivo(banco), antes);
  // A subfolder of a portfolio that cannot be read is a line with its error, never left out.
  QDir().mkpath(pasta.filePath("fechada"));
  QFile::setPermissions(pasta.filePath("fechada"), QFileDevice::Permissions());
  Execucao lote = roda({"lote", "--exercicio", "2002", "--somente-leitura", pasta.path()});
  EXPECT_EQ(lote.status, 3) << lote.saida.toStdString();
  EXPECT_TRUE(Contem(lote.saida, "fechada: ilegível: erro 3024: '" + pasta.filePath("fechada") +
                                     "': a pasta não pode ser lida"));
}

// The program as people run it, from a private copy: by its name from PATH in a folder of their own,
// through a link, and by its full path. Each makes a key that validar-chave accepts; the key's file goes
// to a private folder of the run, never beside the program or the libraries, and the folder a killed run
// left there (the declaration's data) goes at the next run. When the final check then fails (the
// certification library refuses), no line says the declaration is consistent.
TEST_F(Cli, ChaveDoProgramaComoAsPessoasORodam) {
  const QString bin = pasta_.filePath("inst/bin"), lib = pasta_.filePath("inst/lib");
  const QString trabalho = pasta_.filePath("trabalho"), tmp = pasta_.filePath("tmp");
  for (const QString& p : {bin, lib, trabalho, tmp}) QDir().mkpath(p);
  const QString programa = bin + "/kvconsistencia";
  QFile::copy(KV_PROGRAMA, programa);
  QFile::link(programa, pasta_.filePath("kv-link"));
  for (const QFileInfo& l : QDir(QFileInfo(KV_PROGRAMA).absolutePath() + "/../lib").entryInfoList({"*.so*"}))
    QFile::copy(l.absoluteFilePath(), lib + "/" + l.fileName());
  const pid_t morto = ::fork();  // a run that was killed: its process is gone
  if (morto == 0) ::_exit(0);
  ::waitpid(morto, nullptr, 0);
  const QString resto = tmp + "/kvconsistencia-" + QString::number(morto) + "-chave-abcdef";
  const QMap<QString, QString> ambiente = {
      {"PATH", bin + ":/usr/bin:/bin"}, {"TMPDIR", tmp}, {"XDG_RUNTIME_DIR", ""}};
  auto roda = [&](const QString& como, const QStringList& args) {
    QStringList linha = {"cd " + trabalho + " && exec " + como};
    for (const QString& a : args) linha << "'" + a + "'";
    return kv::teste::Roda(pasta_.path(), {"-c", linha.join(' ')}, ambiente, "/bin/sh");
  };
  for (const QString& como : {QString("kvconsistencia"), pasta_.filePath("kv-link"), programa}) {
    GravaArquivo(resto + "/tempXYZ.prf", "dados do contribuinte");
    Execucao e = roda(como, Cmd("verificar-kv", "1"));
    EXPECT_EQ(e.status, 0) << como.toStdString() << e.saida.toStdString() << e.erros.toStdString();
    EXPECT_EQ(roda(como, {"validar-chave", "--banco", banco_, "--declaracao", "1"}).status, 0);
    EXPECT_FALSE(QDir(resto).exists()) << como.toStdString();
    for (const QString& p : {lib, trabalho, tmp})
      EXPECT_EQ(QDir(p).entryList({"temp*", "kvconsistencia-*", "*.lock"}, QDir::AllEntries | QDir::Hidden),
                QStringList())
          << p.toStdString();
  }
  // The program replaced while it runs (an upgrade): it still finds its libraries. It waits on a lock
  // held here while its file is replaced.
  auto trava = kv::AbreSqlite(banco_.toStdString());
  trava->Executa("BEGIN EXCLUSIVE", {});
  QProcess p;
  p.setProcessEnvironment(kv::teste::Ambiente(pasta_.path()));
  p.start(programa, Cmd("verificar-kv", "1"));
  QThread::msleep(500);
  EXPECT_TRUE(QFile::remove(programa) && QFile::copy(KV_PROGRAMA, programa));
  trava->Desfaz();
  EXPECT_TRUE(p.waitForFinished(20000) && p.exitCode() == 0) << p.readAllStandardError().toStdString();
  QFile::remove(lib + "/libCertificaTarvo.so");
  QFile::copy(QString(KV_PASTA_FALHA) + "/libCertificaTarvo.so", lib + "/libCertificaTarvo.so");
  for (const QStringList& extra : {QStringList{}, QStringList{"--json"}}) {
    Execucao e = kv::teste::Roda(pasta_.path(), Cmd("consistir", "1", extra), ambiente, programa);
    EXPECT_EQ(e.status, 3) << e.saida.toStdString() << e.erros.toStdString();
    EXPECT_FALSE(e.saida.contains("está consistente") || e.saida.contains(": consistente") ||
                 e.saida.contains("\"status\": \"Esta"))
        << e.saida.toStdString();
  }
}

// importar on the real Jet files beside the project: every value comes back exactly, the engine's own
// formats and types are read, bad files are refused with nothing written, and the checks agree.
class Jet : public Cli {
 protected:
  void SetUp() override {
    if (!QDir(kFixtures).exists())
      GTEST_SKIP() << "pasta de arquivos Jet ausente: " << kFixtures.toStdString();
    Cli::SetUp();
  }
  QString Importa(const QString& jet) {
    QString destino = pasta_.filePath(QFileInfo(jet).completeBaseName() + ".importado.db");
    Execucao e = Roda({"importar", kFixtures + "/" + jet, destino});
    EXPECT_EQ(e.status, 0) << jet.toStdString() << ": " << e.erros.toStdString();
    return destino;
  }
};

// A value as the checks would see it, written so that two equal values give the same text.
std::string Canonico(const kv::Variant& v, bool booleano) {
  // Jet keeps a Yes/No in the null flag: a Null was written as No.
  if (booleano || v.tipo() == kv::Variant::Tipo::Boolean) return v.IsNull() || !v.AsBool() ? "B:0" : "B:1";
  if (v.IsNull()) return "Nulo";
  auto duplo = [](double d) {  // the shortest text that reads back as the same double
    char t[40];
    return std::string(t, std::to_chars(t, t + sizeof t, d).ptr);
  };
  if (v.tipo() == kv::Variant::Tipo::Double) return "D:" + duplo(v.AsDouble());
  // A .db that stores an amount as a REAL beyond a Double's digits (hundreds of billions) reads back one
  // ten-thousandth off, while the Jet file has the exact amount: such amounts compare as the Double.
  const int64_t u = v.AsCurrency().dezmilesimos, limite = int64_t{1} << 53;
  if (v.tipo() == kv::Variant::Tipo::Currency && (u >= limite || u <= -limite))
    return "C~" + duplo(v.AsCurrency().ToDouble());
  return (v.tipo() == kv::Variant::Tipo::Currency ? "C:" : v.IsString() ? "T:" : "I:") + kv::CStr(v);
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

// Every value comes back exactly, and the checks see the imported file as the database it was written from.
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
  Execucao daFonte = Roda(Lote(kFixtures + "/gen50.db", {"--json", "--somente-leitura"}));
  Execucao copia = Roda(Lote(pasta_.filePath("gen50.importado.db"), {"--json", "--somente-leitura"}));
  EXPECT_EQ(copia.status, daFonte.status);
  EXPECT_EQ(copia.saida, daFonte.saida);
  EXPECT_GT(copia.saida.count('\n'), 50);
}

// Files the Jet engine itself wrote: Jet 3 with code page 1252, extreme dates, ACE.
TEST_F(Jet, FormatosETiposDoProprioJet) {
  auto v = [](const QString& banco, const std::string& sql) {  // field v of the first row, canonical
    return Canonico(kv::AbreSqlite(banco.toStdString())->OpenRecordset(sql)->Campo("v"), false);
  };
  const QString nwind = Importa("nwind.mdb");
  // A file of another kind is copied, and the user is told it holds no declarations.
  EXPECT_TRUE(
      Contem(Roda({"importar", kFixtures + "/nwind.mdb", "n2.db"}).saida, "o arquivo não tem declarações"));
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
  const QString ace = Importa("ASampleDatabase.accdb");
  EXPECT_EQ(v(ace, "SELECT Cost AS v FROM \"Asset Items\" WHERE Cost IS NOT NULL").substr(0, 2), "C:");
}

// A file that is not Jet is refused (exit 2); a damaged one ends by itself with every table and row of
// the intact file or with exit 3 naming what could not be read; never a signal, nothing left in the
// folder, an existing destination never replaced without --substituir, libmdb's environment ignored.
TEST_F(Jet, ArquivosRuinsOuDanificadosNadaGravadoNuncaUmaQueda) {
  QFile::copy(kFixtures + "/exemplo.mdb", pasta_.filePath("inteiro.mdb"));
  QFile truncado(pasta_.filePath("truncado.mdb"));
  QFile::copy(kFixtures + "/exemplo.mdb", truncado.fileName());
  truncado.resize(truncado.size() / 2 + 1000);
  GravaArquivo(pasta_.filePath("texto.mdb"), "isto não é um banco de dados, só um texto\n");
  GravaArquivo(pasta_.filePath("vazio.mdb"), "");
  GravaArquivo(pasta_.filePath("existente.db"), "conteúdo de antes");
  GravaArquivo(pasta_.filePath("mudado.mdb"), "");
  const QString d = kFixtures + "/danificados/";
  // A fixture copied to mudado.mdb with one table definition or one row changed (`hex` at `posicao`):
  // counts that no longer agree with the column records, names, length and rows that follow them.
  // Shippers (nwind.mdb, Jet 3) has 3 columns, 2 of variable length, in 229 bytes of definition.
  const struct {
    QString origem;
    int status;
    const char* erro;
    qint64 posicao = 0;
    const char* hex = "";
    const char* intacto = nullptr;  // the file whose tables and rows a success must give instead of exit 3
    const char* destino = "d.db";
  } casos[] = {
      {"truncado.mdb", 3, "truncado"},
      {"texto.mdb", 2, "não é um banco de dados Jet"},
      {"vazio.mdb", 2, "vazio"},
      {"nao-existe.mdb", 2, "não existe"},
      {"inteiro.mdb", 2, "--substituir", 0, "", nullptr, "existente.db"},
      {"inteiro.mdb", 2, "próprio arquivo de origem", 0, "", nullptr, "inteiro.mdb"},
      {d + "exemplo-1byte-segv.mdb", 3, "a tabela tblDetalhesInterUFs: um valor da coluna UF passa do fim"},
      {d + "exemplo-1byte-nullcolumns-segv.mdb", 3, "a tabela tblDetalhesInterUFs: as colunas da tabela"},
      {d + "accdb-1byte-libmdb-catalog-overflow.accdb", 3, "parou ao ler", 0, "", "ASampleDatabase.accdb"},
      {d + "nwind-1byte-hang-memgrowth.mdb", 3, "parou ao ler o catálogo de tabelas", 0, "", "nwind.mdb"},
      {d + "nwind-trunc-736pages-hang.mdb", 3, "o catálogo de tabelas: o libmdb repetiu mensagens"},
      {d + "accdb-trunc-107pages-hang.accdb", 3, "parou ao ler o catálogo de tabelas"},
      {d + "exemplo-trunc-10pages.mdb", 3, "o catálogo registra 11 objetos, mas 0 puderam ser lidos"},
      {d + "nwind-trunc-730pages.mdb", 3, "a tabela Umsätze: a definição da tabela não pôde ser lida"},
      {d + "gen50-1byte-tbldeclaracao-dropped.mdb", 3, "a tabela tblDeclaração: a definição"},
      {"nwind.mdb", 3, "a tabela Shippers: a definição da tabela tem um nome de coluna inválido", 0x122819,
       "01"},
      {"nwind.mdb", 3, "Shippers: a definição da tabela registra 4 colunas, mais do que as 3", 0x122819,
       "04"},
      {"nwind.mdb", 3, "Shippers: a definição da tabela tem duas colunas com o número 1", 0x122858, "01"},
      {"nwind.mdb", 3, "Shippers: a definição da tabela dá a uma coluna o número 3, fora", 0x122858, "03"},
      // the variable-length count, the length of Phone's name
      {"nwind.mdb", 3, "não registra colunas de tamanho variável, mas descreve 2", 0x122817, "00"},
      {"nwind.mdb", 3, "Shippers: a definição da tabela tem uma coluna sem nome", 0x12287f, "00"},
      // Notes renamed "title"
      {"nwind.mdb", 3, "Employees: a definição da tabela tem duas colunas chamadas Title e title", 0x2f1fe,
       "7469746c65"},
      // the definition's length
      {"nwind.mdb", 3, "Shippers: a definição da tabela registra 230 bytes, mas as suas partes ocupam 229",
       0x122808, "e6"},
      {"nwind.mdb", 3, "Shippers: a definição da tabela passa dos 120 bytes que registra", 0x122808, "78"},
      {"nwind.mdb", 3, "Shippers: a definição da tabela continua além das suas páginas", 0x122808, "e508"},
      // a row's column count
      {"nwind.mdb", 3,
       "Shippers: uma linha tem 4 colunas, mais do que as 3 que a definição da tabela permite", 0x123fda,
       "04"},
      // Jet 4: a column count of 13
      {"exemplo.mdb", 3, "a tabela tblDetalhesInterUFs: a definição da tabela", 0x702d, "0c"},
  };
  const auto pasta = [&] {
    return QDir(pasta_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
  };
  const QStringList antes = pasta();
  for (const auto& c : casos) {
    const std::string n = c.origem.toStdString() + " " + c.hex;
    QString origem = c.origem;
    if (c.posicao) {
      QByteArray b = LeArquivo(kFixtures + "/" + c.origem);
      b.replace(c.posicao, static_cast<qsizetype>(std::strlen(c.hex) / 2), QByteArray::fromHex(c.hex));
      GravaArquivo(origem = pasta_.filePath("mudado.mdb"), b);
    }
    QElapsedTimer relogio;
    relogio.start();
    Execucao e = Roda({"importar", origem, c.destino});
    EXPECT_LT(relogio.elapsed(), 30000) << n;
    EXPECT_FALSE(e.caiu) << n;
    if (e.status == 0 && c.intacto) {
      EXPECT_EQ(Conteudo(pasta_.filePath(c.destino)), Conteudo(Importa(c.intacto))) << n;
      QFile::remove(pasta_.filePath(c.destino));
      QFile::remove(pasta_.filePath(QFileInfo(c.intacto).completeBaseName() + ".importado.db"));
      continue;
    }
    EXPECT_EQ(e.status, c.status) << n << ": " << e.erros.toStdString();
    EXPECT_TRUE(Contem(e.erros, c.erro)) << n;
    EXPECT_EQ(pasta(), antes) << n;
  }
  EXPECT_EQ(LeArquivo(pasta_.filePath("existente.db")), QByteArray("conteúdo de antes"));
  // An MDBPATH with an empty element would make libmdb search forever; it is set aside.
  Execucao v = Roda({"importar", "inteiro.mdb", "existente.db", "--substituir"}, {{"MDBPATH", ":"}});
  EXPECT_EQ(v.status, 0) << v.erros.toStdString();
  EXPECT_TRUE(v.erros.isEmpty()) << v.erros.toStdString();
  // A table name that holds escape sequences is copied as it is, and printed visibly escaped.
  Execucao e = Roda({"importar", d + "edge-escape-tablename.mdb", "escape.db"});
  EXPECT_EQ(e.status, 0) << e.erros.toStdString();
  EXPECT_TRUE(Contem(e.saida, "tb\\x1b[31mX"));
  EXPECT_FALSE(e.saida.contains('\x1b'));
  EXPECT_EQ(Conteudo(pasta_.filePath("escape.db")).count("tb\x1b[31mX"), 1u);
}

// A reader's program that is missing, cannot be loaded or belongs to another version is a broken
// installation, said as such (exit 3), never a damaged file; nothing is written.
TEST_F(Jet, LeitorQueNaoServeEhErroDeInstalacao) {
  const QString bin = pasta_.filePath("inst/bin"), lib = pasta_.filePath("inst/lib/kvconsistencia");
  for (const QString& p : {bin, lib}) QDir().mkpath(p);
  QFile::copy(KV_PROGRAMA, bin + "/kvconsistencia");
  const QString leitor = lib + "/leitor-jet";
  const std::pair<QString, const char*> casos[] = {
      {"", "No such file or directory"},
      {"echo 'libmdb.so.3: cannot open shared object file' >&2; exit 127", "libmdb.so.3: cannot open"},
      {"shift; exec " + QFileInfo(KV_PROGRAMA).absolutePath() +
           "/../lib/kvconsistencia/leitor-jet 0.9 \"$@\"",
       "não serve a este chamador"}};
  for (const auto& [script, motivo] : casos) {
    QFile::remove(leitor);
    if (!script.isEmpty()) {
      GravaArquivo(leitor, "#!/bin/sh\n" + script.toUtf8() + "\n");
      QFile::setPermissions(leitor, QFile::ReadOwner | QFile::ExeOwner);
    }
    Execucao e = kv::teste::Roda(pasta_.path(), {"importar", kFixtures + "/exemplo.mdb", "novo.db"}, {},
                                 bin + "/kvconsistencia");
    EXPECT_TRUE(e.status == 3 && Contem(e.erros, motivo) && !Contem(e.erros, "não pôde ser lido") &&
                !QFile::exists(pasta_.filePath("novo.db")))
        << e.erros.toStdString();
  }
}

// A temporary file that a killed import left is removed by the next import to the same destination,
// unless its process still runs; the new database gets the user's umask.
TEST_F(Jet, RestoDeImportacaoMortaEhRemovido) {
  const pid_t morto = ::fork();
  if (morto == 0) ::_exit(0);
  ::waitpid(morto, nullptr, 0);
  const QString destino = pasta_.filePath("kv.db");
  const QString doMorto = QString::fromStdString(kv::jet::Temporario(destino.toStdString(), morto));
  const QString doVivo = QString::fromStdString(kv::jet::Temporario(destino.toStdString(), ::getpid()));
  GravaArquivo(doMorto, "dados de um contribuinte");
  GravaArquivo(doVivo, "importação em andamento");
  const mode_t mascara = ::umask(077);
  Execucao e = Roda({"importar", kFixtures + "/exemplo.mdb", destino});
  ::umask(mascara);
  EXPECT_EQ(e.status, 0) << e.erros.toStdString();
  EXPECT_FALSE(QFile::exists(doMorto));
  EXPECT_TRUE(QFile::exists(doVivo));
  struct stat st {};
  ASSERT_EQ(::stat(destino.toLocal8Bit().constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

// The hints under a Jet file's check, pasted as printed, import it beside it without replacing a file
// already there, and record the declaration in the copy.
TEST_F(Jet, DicasDeUmArquivoJetLevamAChave) {
  const QString jet = pasta_.filePath("c.mdb"), existente = pasta_.filePath("c.db");
  QFile::copy(kFixtures + "/exemplo.mdb", jet);
  GravaArquivo(existente, "outro banco");
  const QString saida = QString::fromUtf8(
      Roda({"verificar", "--banco", jet, "--declaracao", "12", "--exercicio", "2002"}).saida);
  QStringList dicas;
  for (const QString& l : saida.split('\n'))
    if (l.startsWith("  kvconsistencia ")) dicas << l.trimmed();
  ASSERT_EQ(dicas.size(), 2) << saida.toStdString();
  EXPECT_EQ(dicas[0], "kvconsistencia importar " + jet + " " + pasta_.filePath("c-2.db"));
  const QString bin = QFileInfo(KV_PROGRAMA).absolutePath();
  Execucao e = kv::teste::Roda(pasta_.path(), {"-c", dicas.join(" && ")}, {{"PATH", bin + ":/usr/bin:/bin"}},
                               "/bin/sh");
  EXPECT_EQ(e.status, 0) << e.erros.toStdString();
  EXPECT_EQ(LeArquivo(existente), "outro banco");
  EXPECT_EQ(Roda({"validar-chave", "--banco", pasta_.filePath("c-2.db"), "--declaracao", "12"}).status, 0);
}

// A Jet file's temporary copy holds a taxpayer's data: it goes however the run ends, at the signal that
// stops the read (exit 130), at one that comes during the check, and after a kill, at the next run.
TEST_F(Jet, CopiaTemporariaNuncaFica) {
  const QString tmp = pasta_.filePath("tmp");
  QDir().mkpath(tmp);
  const QString jet = kFixtures + "/gen50.mdb";
  const QStringList verificar = {"verificar", "--banco", jet, "--declaracao", "1", "--exercicio", "2002"};
  const QStringList lote = Lote(jet, {"--tarefas", "1"});
  const struct {
    QStringList args;
    int sinal;
    bool naLeitura;  // at once (the read is stopped) or once the copy is made
  } casos[] = {{verificar, SIGINT, true},  {lote, SIGTERM, true}, {verificar, SIGTERM, false},
               {verificar, SIGHUP, false}, {lote, SIGINT, false}, {verificar, SIGKILL, false},
               {lote, SIGKILL, false}};
  for (const auto& c : casos) {
    const std::string nome = c.args[0].toStdString() + " " + std::to_string(c.sinal);
    QProcess p;
    QProcessEnvironment env = kv::teste::Ambiente(pasta_.path());
    env.insert("TMPDIR", tmp);
    p.setProcessEnvironment(env);
    p.start(KV_PROGRAMA, c.args);
    ASSERT_TRUE(p.waitForStarted());
    // During the read the reader's child process runs; the copy made, the program says so.
    const QString filhos = QString("/proc/%1/task/%1/children").arg(p.processId());
    QByteArray erros;
    while (p.state() == QProcess::Running &&
           (c.naLeitura ? LeArquivo(filhos).trimmed().isEmpty() : !erros.contains("temporária"))) {
      p.waitForReadyRead(1);
      erros += p.readAllStandardError();
    }
    ::kill(static_cast<pid_t>(p.processId()), c.sinal);
    ASSERT_TRUE(p.waitForFinished(60000)) << nome;
    EXPECT_EQ(p.exitCode(), c.naLeitura ? 130 : p.exitCode())
        << nome << p.readAllStandardError().toStdString();
    // After a kill nothing could run: the next run that makes a copy removes what is left.
    if (c.sinal == SIGKILL) Roda(verificar, {{"TMPDIR", tmp}});
    EXPECT_EQ(QDir(tmp).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList())
        << nome;
  }
}

}  // namespace
