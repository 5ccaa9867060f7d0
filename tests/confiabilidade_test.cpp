// Faults in the middle of a check, bad databases, bad settings and unsafe input: a clear error, the
// entries found before it, no false "consistent", and a declaration unchanged or wholly changed.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <functional>
#include <optional>
#include <set>

#include "apoio.h"
#include "checker/consistekv.h"
#include "control/controle.h"
#include "falhas.h"
#include "host/exemplo.h"
#include "host/host.h"
#include "platform/configuracao.h"
#include "platform/db/sqlite_banco.h"
#include "platform/erro.h"
#include "platform/texto.h"
#include "rules/frame/estado.h"
#include "rules/regras.h"

namespace kv {
namespace {

using teste::BancoTeste;
using teste::Entradas;
using teste::Injetor;
using teste::NumeroDoErro;
using teste::Operacao;

// The declaration's content and its recorded flag and key.
std::string Instantaneo(BancoTeste& b, int d = 12) {
  auto [consistente, chave] = b.Gravado(d);
  return host::TextoCanonico(b.db(), d) + "|" + TextoDe(consistente) + "|" + TextoDe(chave);
}

class Falhas : public ::testing::Test {
 protected:
  void SetUp() override {
    host::InsereDeclaracaoLimpa(b.db(), 12, "1", 3, 10);
    host::SemeiaAchados(b.db(), 12);
    teste::InstalaFalhas(injetor);
    controle.DefineDeclaracao(Variant::Long(12));
  }
  void TearDown() override { host::RegistraComponentes(); }

  // Each kind of operation a run of `roda` makes, failed at its first, middle and last occurrence: the
  // run ends with the injected error (3010), and `confere` says what must hold.
  void CadaFalha(std::function<void()> prepara, std::function<void()> roda,
                 std::function<void(const std::string&)> confere) {
    prepara();
    injetor->FalhaNa(Operacao::Abrir, 0);
    roda();
    const std::map<Operacao, long> total = injetor->contagem;
    int casos = 0;
    for (const auto& [op, n] : total)
      for (long k : std::set<long>{1, (n + 1) / 2, n}) {
        prepara();
        injetor->FalhaNa(op, k);
        const std::string onde =
            std::string(teste::kNomesDasOperacoes[static_cast<int>(op)]) + " nº " + std::to_string(k);
        EXPECT_EQ(NumeroDoErro(roda), 3010) << onde;
        confere(onde);
        ++casos;
      }
    EXPECT_GE(casos, 10);
  }

  BancoTeste b;
  std::shared_ptr<Injetor> injetor = std::make_shared<Injetor>();
  ControleConsistencia controle;
};

TEST_F(Falhas, NoMeioDaVerificacaoCompleta) {
  controle.MontaInconsistencias();
  const std::vector<std::string> completas = Entradas();
  const std::string antes = Instantaneo(b);
  CadaFalha([&] { controle.Mensagem().Define(""); }, [&] { controle.MontaInconsistencias(); },
            [&](const std::string& onde) {
              const auto achadas = Entradas();  // those found before the fault, as a whole run finds them
              EXPECT_TRUE(achadas.size() <= completas.size() &&
                          std::equal(achadas.begin(), achadas.end(), completas.begin()))
                  << onde;
              EXPECT_EQ(controle.Mensagem().Valor(), "") << onde << ": a failed run must not claim a status";
              EXPECT_EQ(Instantaneo(b), antes) << onde;
            });
}

TEST_F(Falhas, NaRespostaDoEnquadramentoAntesDe2001) {
  Config().Grava("KV", "Exercicio", "ExercicioAtual", "2000");
  CadaFalha([&] { b.Sql("UPDATE tblDeclaração SET DeAcordo = -1 WHERE Declaração = 12"); },
            [&] { controle.MontaInconsistencias(); },
            [&](const std::string& onde) {
              // Written wholly (the fault came after the update) or not at all.
              const std::string v =
                  TextoDe(b.db()
                              .OpenRecordset("SELECT DeAcordo FROM tblDeclaração WHERE Declaração = 12")
                              ->Campo("DeAcordo"));
              EXPECT_TRUE(v == "-1" || v == "1") << onde << ": " << v;
            });
}

TEST_F(Falhas, NaVerificacaoFinalNadaEhGravadoPelaMetade) {
  b.Sql("UPDATE tblDeclaração SET DeAcordo = 1, Consistente = 0, Chave = 'ANTES' WHERE Declaração = 12");
  b.Sql("DELETE FROM tblTOVIR WHERE CódTOVIR = '3.7' OR Valor = 0");
  b.Sql("UPDATE tblContribuinte SET CNPJ = '1'");
  auto caixa = std::make_shared<teste::CaixaGravada>();
  controle.DefineInterface(nullptr, nullptr, nullptr, caixa);
  const std::string antes = Instantaneo(b);
  // An empty tree: the close button makes the key and records it.
  CadaFalha(
      [&] {
        b.Sql("UPDATE tblDeclaração SET Consistente = 0, Chave = 'ANTES' WHERE Declaração = 12");
        caixa->completos.clear();
      },
      [&] { controle.MostrouMsg(); },
      [&](const std::string& onde) {
        EXPECT_EQ(Instantaneo(b), antes) << onde;
        EXPECT_TRUE(caixa->completos.empty()) << onde << ": no box may claim success";
      });
}

// Only a whole number is a declaration number; anything else is error 13, naming the value, before any
// statement reaches the database; a state code reaches SQL only between doubled apostrophes.
TEST_F(Falhas, SoNumeroInteiroEApostrofosDobradosChegamAoBanco) {
  auto S = [](const std::string& t) { return Variant::Str(t); };
  const std::pair<Variant, bool> casos[] = {{Variant::Long(12), true},
                                            {S("12"), true},
                                            {S(" 12 "), true},
                                            {Variant::Dbl(12.0), true},
                                            {S("12.5"), false},
                                            {S(""), false},
                                            {Variant(), false},
                                            {Variant::Nulo(), false},
                                            {S("12) OR (1=1"), false},
                                            {S("12 -- "), false},
                                            {S("'12'"), false},
                                            {S("1e3"), false},
                                            {S("0x0C"), false},
                                            {S("12; DROP TABLE tblEntradas"), false},
                                            {S(std::string(5000, '9')), false}};
  for (const auto& [valor, aceito] : casos) {
    injetor->FalhaNa(Operacao::Abrir, 0);
    controle.DefineDeclaracao(valor);
    std::string descricao;
    try {
      controle.MontaInconsistencias();
    } catch (const Erro& e) {
      descricao = std::to_string(e.numero()) + " " + e.descricao();
    }
    EXPECT_EQ(descricao.empty(), aceito) << TextoDe(valor) << ": " << descricao;
    if (aceito) continue;
    EXPECT_EQ(descricao.substr(0, 3), "13 ") << descricao;
    EXPECT_TRUE(injetor->comandos.empty()) << TextoDe(valor) << ": " << injetor->comandos[0].second;
    if (valor.tipo() == Variant::Tipo::String && !TextoDe(valor).empty() && TextoDe(valor).size() < 100) {
      EXPECT_NE(descricao.find("\"" + TextoDe(valor) + "\""), std::string::npos) << descricao;
    }
  }
  b.Sql(
      "UPDATE tblDetalhesInterUFs SET UF = 'X''); DELETE FROM tblEntradas; --', Imposto = 999 WHERE "
      "Declaração = 12 AND Ref = 1 AND Tipo = 0");
  teste::DefineDeclaracao(12);
  injetor->FalhaNa(Operacao::Abrir, 0);
  std::string resto = "125";
  Verificacao v(Estado());
  EXPECT_NE(MensagemEntradasInter(v, resto).find("X'); DELETE FROM tblEntradas; --: "), std::string::npos);
  for (const auto& [tipo, c] : injetor->comandos) {
    EXPECT_EQ(c.rfind("SELECT ", 0), 0u) << c;
    if (c.find("tblEstados") != std::string::npos) {
      EXPECT_EQ(c, "SELECT * FROM tblEstados WHERE ((Código = 'X''); DELETE FROM tblEntradas; --'))");
    }
  }
  EXPECT_EQ(b.db().OpenRecordset("SELECT count(*) AS n FROM tblEntradas")->Campo("n").AsInt(), 12);
}

// A check reads one state of the declaration: a writer that commits between two of its statements is
// seen whole or not at all, never half.
TEST(Instantaneo, EscritorNoMeioDaVerificacaoNuncaEhVistoPelaMetade) {
  auto verifica = [&](long n, bool escritaAntes) {
    BancoTeste b;
    host::InsereDeclaracaoLimpa(b.db(), 12, "1");
    b.Sql("PRAGMA journal_mode = WAL");  // lets the writer commit while the check holds its snapshot
    auto escreve = [&] {
      auto outro = AbreSqlite(b.caminho());  // a connection of its own, as another program's
      outro->Executa("BEGIN IMMEDIATE", {});
      outro->Executa("UPDATE tblEntradas SET EntradaInter = 500, ImpAquisição = 0 WHERE Ref = 3", {});
      outro->Executa("UPDATE tblSaídas SET SaídaInter = 500, ImpDevido = 0 WHERE Ref = 11", {});
      outro->Executa("COMMIT", {});
    };
    if (escritaAntes) escreve();
    auto injetor = std::make_shared<Injetor>();
    teste::InstalaFalhas(injetor);
    injetor->FalhaNa(Operacao::Preparar, n, escreve);  // the write lands just before statement n
    ControleConsistencia controle;
    controle.DefineDeclaracao(Variant::Long(12));
    controle.MontaInconsistencias();
    host::RegistraComponentes();
    return std::make_pair(Entradas(), injetor->contagem[Operacao::Preparar]);
  };
  auto [antes, comandos] = verifica(0, false);
  auto depois = verifica(0, true).first;
  ASSERT_NE(antes, depois);
  ASSERT_GT(comandos, 40);
  for (long n = 1; n <= comandos; ++n) {
    auto visto = verifica(n, false).first;
    EXPECT_TRUE(visto == antes || visto == depois) << "escrita antes do comando " << n;
  }
}

// A host whose ConexaoBanco opens a new connection at every call: the snapshot one connection holds
// never keeps another from writing (the enrolment answer before 2001, recording flag and key). And a
// file its user may not write, which SQLite opens for reading without being asked: the enrolment answer
// and the final check fail with SQLite's "readonly" (3008), changing nothing, never skipped as if
// read-only had been asked for, and the failed build is not taken for a clean check.
TEST(Instantaneo, ConexoesNovasACadaChamadaESomenteLeitura) {
  class ConexaoNova : public ConexaoBanco {
   public:
    std::shared_ptr<Database> AbreBanco(std::string& caminho) override { return AbreSqlite(caminho); }
  };
  for (const bool somenteLeitura : {false, true}) {
    BancoTeste b(2000);
    host::InsereDeclaracaoLimpa(b.db(), 12, "1");
    b.Sql("UPDATE tblDeclaração SET DeAcordo = -1, Consistente = 0, Chave = 'ANTES'");
    RegistraClasse(kClsidConexaoBanco, [] { return std::make_shared<ConexaoNova>(); });
    std::optional<teste::ComoOutroUsuario> outro;
    if (somenteLeitura) {  // the settings for this run, as the other user cannot read the test's file
      DefineValorDaExecucao("KV", "DB", "DbAtual", b.caminho());
      DefineValorDaExecucao("KV", "Exercicio", "ExercicioAtual", "2000");
      ::chmod(b.pasta().c_str(), 0755);
      ::chmod(b.caminho().c_str(), 0444);
      outro.emplace();
    }
    const int erro = somenteLeitura ? 3008 : 0;
    ControleConsistencia controle;
    controle.DefineDeclaracao(Variant::Long(12));
    EXPECT_EQ(NumeroDoErro([&] { controle.MontaInconsistencias(); }), erro);
    if (somenteLeitura) {
      EXPECT_FALSE(controle.Consistir());
      EXPECT_EQ(NumeroDoErro([&] { controle.MostrouMsg(); }), erro);
    } else {
      Variant ie, ano = Variant::Long(2000), d = Variant::Long(12);
      EXPECT_EQ(NumeroDoErro([&] { ConsisteKV().VerificaConsistencia(ie, ano, d); }), erro);
    }
    outro.reset();
    DefineValorDaExecucao("", "", "", "");
    host::RegistraComponentes();
    auto rs = b.db().OpenRecordset("SELECT DeAcordo, Consistente, Chave FROM tblDeclaração");
    EXPECT_EQ(rs->Campo("DeAcordo").AsInt(), somenteLeitura ? -1 : 1);
    EXPECT_EQ(TextoDe(rs->Campo("Chave")) == "ANTES", somenteLeitura);
    EXPECT_EQ(CBool(rs->Campo("Consistente")), !somenteLeitura);
  }
}

TEST(ValoresNulos, EmCadaCampoLidoPelasRegras) {
  const std::pair<const char*, const char*> campos[] = {
      {"tblEntradas", "Ref EntradaInter ImpAquisição EntradaInterna"},
      {"tblSaídas", "Ref SaídaInterna SaídaInter ImpDevido SaídaInternaNtrib SaídaInterNtrib"},
      {"tblDetalhesInterUFs",
       "UF ValorContábil_1 BaseCálculo_1 Outras Imposto PetróleoEnergia OutrosProdutos ValorContábil_2 "
       "BaseCálculo_2 ICMSCobradoST"},
      {"tblTOVIR", "CódTOVIR Município Código Valor"},
      {"tblContribuinte", "CNPJ CNAE"},
      {"tblDeclaração", "DeAcordo Consistente IE"}};
  for (const auto& [tabela, colunas] : campos)
    for (const std::string& campo : Divide(colunas, " ")) {
      BancoTeste b;
      host::InsereDeclaracaoLimpa(b.db(), 12, "1");
      b.Sql(std::string("UPDATE ") + tabela + " SET \"" + campo + "\" = NULL");
      ControleConsistencia controle;
      controle.DefineDeclaracao(Variant::Long(12));
      // Either the rules treat the Null as they define, or they stop with Invalid use of Null, no status.
      const int erro = NumeroDoErro([&] { controle.MontaInconsistencias(); });
      EXPECT_TRUE(erro == 0 || (erro == kErroNulo && controle.Mensagem().Valor().empty()))
          << tabela << "." << campo << ": erro " << erro;
    }
}

// The host's file: values read raw (one pair of quotes around a value is the file's, a quote alone the
// value's); a write changes its own line and nothing else, and removes the copy a killed write left.
TEST(Configuracao, ArquivoDoHostLidoCruEGravadoSoNaLinhaDaChave) {
  const QByteArray hostil =
      "; configurações do KV\r\n[DB]\r\nCaminho=C:\\Tarvo\\dados\r\nDbAtual=/d/a,b\\c 'x' "
      "\"y\".db\r\nLista=a,b,c\r\n\r\n[Exercicio]\r\nExercicioAtual=2001\r\n[Outro]\r\nx=1\r\n";
  const QByteArray aspas = "[Exercicio] ; ano\nExercicioAtual=\"2002\"\n[DB]\nDbAtual='/a b.db'\nOutro=\"x\n";
  const struct {
    const char* nome;
    QByteArray antes;
    const char *secao, *chave, *valor;
    QByteArray depois;  // after writing `valor`; nothing when the value is only read
  } casos[] = {
      {"lido cru", hostil, "DB", "Caminho", "C:\\Tarvo\\dados", {}},
      {"vírgulas, barras e aspas no meio", hostil, "DB", "DbAtual", "/d/a,b\\c 'x' \"y\".db", {}},
      {"lista", hostil, "DB", "Lista", "a,b,c", {}},
      {"aspas em volta", aspas, "Exercicio", "ExercicioAtual", "2002", {}},
      {"apóstrofos em volta", aspas, "DB", "DbAtual", "/a b.db", {}},
      {"aspa sozinha", aspas, "DB", "Outro", "\"x", {}},
      {"troca a linha da chave", hostil, "Exercicio", "ExercicioAtual", "2003",
       QByteArray(hostil).replace("ExercicioAtual=2001", "ExercicioAtual=2003")},
      {"chave nova no fim da sua seção", hostil, "DB", "Novo", "v",
       QByteArray(hostil).replace("Lista=a,b,c\r\n", "Lista=a,b,c\r\nNovo=v\r\n")},
      {"seção nova no fim do arquivo", "[DB]\nDbAtual=x", "Exercicio", "ExercicioAtual", "2002",
       "[DB]\nDbAtual=x\n[Exercicio]\nExercicioAtual=2002\n"},
      {"maiúsculas e brancos na chave existente", "[db]\n  dbatual = velho  \n", "DB", "DbAtual", "novo",
       "[db]\nDbAtual=novo\n"},
      {"arquivo que não existe", "", "DB", "DbAtual", "/x.db", "[DB]\nDbAtual=/x.db\n"},
      {"comentário depois do nome da seção", "[DB] ; banco\nDbAtual=x\n", "DB", "DbAtual", "y",
       "[DB] ; banco\nDbAtual=y\n"},
      {"valor que é ele mesmo entre aspas", "", "DB", "DbAtual", "\"a b\"", "[DB]\nDbAtual=\"\"a b\"\"\n"},
  };
  for (const auto& c : casos) {
    BancoTeste b;
    const QString ini = QString::fromStdString(ArquivoConfiguracao("KV"));
    QFile::remove(ini);
    if (!c.antes.isEmpty()) teste::GravaArquivo(ini, c.antes);
    const QString resto = ini + ".Ab12Cd";  // what a killed write left (it may hold the user's paths)
    teste::GravaArquivo(resto, "[DB]\nDbAtual=/segredo.db\n");
    DefineFabricaConfiguracao(nullptr);
    if (!c.depois.isNull()) Config().Grava("KV", c.secao, c.chave, c.valor);
    EXPECT_EQ(teste::LeArquivo(ini), c.depois.isNull() ? c.antes : c.depois) << c.nome;
    EXPECT_EQ(Config().Le("KV", c.secao, c.chave, "?"), c.valor) << c.nome;
    EXPECT_EQ(QFile::exists(resto), c.depois.isNull()) << c.nome;
    QFile::remove(resto);
  }
  DefineFabricaConfiguracao(nullptr);
}

// A settings file that cannot be read (a folder in its place) or is not INI: reading, writing and a whole
// check fail naming the file (and the line), no status is claimed, and the file is never rewritten.
TEST(Configuracao, ArquivoIlegivelOuQueNaoEhIniNuncaEhReescrito) {
  const QByteArray casos[] = {QByteArray(), "[DB]\nDbAtual=x\nisto não é uma linha de INI\n",
                              QByteArray("[DB]\n\0\x01", 6), "[DB\nDbAtual=x\n"};
  for (const QByteArray& texto : casos) {
    BancoTeste b;
    const std::string ini = ArquivoConfiguracao("KV");
    QFile::remove(QString::fromStdString(ini));
    if (texto.isNull())
      QDir().mkpath(QString::fromStdString(ini));
    else
      teste::GravaArquivo(QString::fromStdString(ini), texto);
    DefineFabricaConfiguracao(nullptr);
    ControleConsistencia controle;
    controle.DefineDeclaracao(Variant::Long(12));
    for (auto opera : std::vector<std::function<void()>>{[] { Config().Le("KV", "DB", "DbAtual", ""); },
                                                         [] { Config().Grava("KV", "DB", "DbAtual", "2"); },
                                                         [&] { controle.MontaInconsistencias(); }}) {
      try {
        opera();
        ADD_FAILURE() << texto.toStdString();
      } catch (const Erro& e) {
        EXPECT_NE(e.descricao().find(ini), std::string::npos) << e.descricao();
        EXPECT_TRUE(e.descricao().find("linha") != std::string::npos || texto.isNull() ||
                    texto.contains('\0'))
            << e.descricao();
      }
    }
    EXPECT_EQ(controle.Mensagem().Valor(), "");
    EXPECT_EQ(teste::LeArquivo(QString::fromStdString(ini)), texto);
    QDir(QString::fromStdString(ini)).removeRecursively();
    QFile::remove(QString::fromStdString(ini));
  }
  DefineFabricaConfiguracao(nullptr);
}

using Lista = std::vector<std::pair<int, std::string>>;  // recordset kind, text

// One statement per code: `antes`, the code, `depois`.
Lista Cada(int tipo, std::initializer_list<const char*> codigos, const std::string& antes,
           const std::string& depois) {
  Lista r;
  for (const char* c : codigos) r.emplace_back(tipo, antes + c + depois);
  return r;
}
Lista Junta(std::initializer_list<Lista> partes) {
  Lista r;
  for (const Lista& p : partes) r.insert(r.end(), p.begin(), p.end());
  return r;
}

// The interstate rule of a detail type (0 entries, 1 exits) over twelve months, for declaration 12.
Lista Interestaduais(int tipo) {
  const std::string t = std::to_string(tipo);
  Lista r = {{kSnapshot,
              tipo == 0 ? "SELECT Ref, EntradaInter FROM tblEntradas WHERE (Declaração = 12)"
                        : "SELECT Ref, SaídaInter, SaídaInterNtrib FROM tblSaídas WHERE (Declaração = 12)"}};
  const std::string soma =
      tipo == 0 ? "SELECT DISTINCTROW Sum(ValorContábil_1) AS SomaVC, Sum(BaseCálculo_1) AS SomaBC, "
                  "Sum(Imposto) AS SomaIM, Sum(Outras) AS SomaOU, Sum(PetróleoEnergia) AS SomaPE, "
                  "Sum(OutrosProdutos) AS SomaOP FROM tblDetalhesInterUFs"
                : "SELECT DISTINCTROW Sum(ValorContábil_1) AS SomaVC1, Sum(BaseCálculo_1) AS SomaBC1, "
                  "Sum(ValorContábil_2) AS SomaVC2, Sum(BaseCálculo_2) AS SomaBC2, Sum(Imposto) AS SomaIM, "
                  "Sum(Outras) AS SomaOU, Sum(ICMSCobradoST) AS SomaST FROM tblDetalhesInterUFs";
  for (int mes = 1; mes <= 12; ++mes) {
    const std::string m = std::to_string(mes);
    r.emplace_back(kSnapshot, soma + " GROUP BY  Declaração, Ref, Tipo HAVING ((Declaração = 12) And (Ref =" +
                                  m + ") And (Tipo = " + t + " ))");
    r.emplace_back(kSnapshot, "SELECT * FROM tblDetalhesInterUFs WHERE ((Declaração = 12) And (Ref =" + m +
                                  ") And (Tipo = " + t + "))ORDER BY Ref");
  }
  return r;
}

// The TOVIR rules for declaration 12: zeros and repetitions per code, then 1.X, 3.X and 2.X.
Lista Tovir() {
  const auto codigos = {"1.1", "1.3", "2.2", "2.3", "2.4", "2.5", "2.6"};
  const std::string soma =
      "SELECT SUM(Valor) as Soma FROM tblTOVIR WHERE (Declaração=12) AND (CódTOVIR LIKE '";
  return Junta(
      {Cada(kSnapshot, codigos,
            "SELECT CódTOVIR FROM tblTOVIR WHERE (Declaração=12) AND (Valor=0) AND (CódTOVIR LIKE '", "')"),
       Cada(kSnapshot, codigos,
            "SELECT Declaração, CódTOVIR, Município, Count(Código) AS ContarDeCódigo From tblTOVIR GROUP BY "
            "Declaração, CódTOVIR, Município HAVING (Declaração=12) AND (CódTOVIR LIKE '",
            "') AND (Count(Código)>1)"),
       {{kDynaset, "SELECT SUM(EntradaInterna) as x1 FROM tblEntradas HAVING (Declaração = 12)"}},
       Cada(kSnapshot, {"1.3", "1.1", "3.8", "3.7"}, soma, "')"),
       {{kDynaset,
         "SELECT SUM(SaídaInterna) as x1, SUM(SaídaInter) as x2, SUM(SaídaInternaNtrib) as x3, "
         "SUM(SaídaInterNtrib) as x4 FROM tblSaídas HAVING (Declaração = 12) "}},
       Cada(kSnapshot, {"2.6", "2.5", "2.4", "2.3", "2.2"}, soma, "')")});
}

// The statements a check sends, as a host's Database receives them: texts, recordset kinds and order,
// written out as the rules write them. Before 2001 the tree builder runs the short rule set; from 2001 on
// every rule; the headless checker its five rules whatever the year.
TEST_F(Falhas, ComandosDeUmaVerificacao) {
  const Lista exercicio = {{kSnapshot, "SELECT * FROM tblEntradas WHERE (Declaração = 12)"}};
  const Lista cadastro = {{kSnapshot,
                           "SELECT CNPJ, CNAE, Declaração FROM tblContribuinte LEFT JOIN tblDeclaração ON "
                           "tblContribuinte.IE = tblDeclaração.IE WHERE tblDeclaração.Declaração=12"}};
  const Lista mensais = {{kSnapshot, "SELECT * FROM tblEntradas WHERE (Declaração = 12)"},
                         {kSnapshot, "SELECT * FROM tblSaídas WHERE (Declaração = 12)"}};
  const Lista enquadramento = {{kDynaset, "SELECT * FROM tbldeclaração WHERE (Declaração=12)"}};
  const Lista declaracao = {
      {kDynaset, "SELECT * FROM tblDeclaração WHERE (Declaração =12)ORDER BY Declaração"}};
  const Lista headless = Junta({cadastro, Interestaduais(0), Interestaduais(1), Tovir(), enquadramento});
  const struct {
    int ano;
    bool controle;
    Lista esperado;
  } casos[] = {
      {2000, true, Junta({exercicio, cadastro, mensais, enquadramento, declaracao})},
      {2002, true,
       Junta({exercicio, cadastro, mensais, Interestaduais(0), Interestaduais(1), Tovir(), enquadramento,
              declaracao})},
      {2000, false, headless},
      {2002, false, headless},
  };
  for (const auto& c : casos) {
    Config().Grava("KV", "Exercicio", "ExercicioAtual", std::to_string(c.ano));
    injetor->FalhaNa(Operacao::Abrir, 0);  // records, fails nothing
    if (c.controle) {
      controle.MontaInconsistencias();
    } else {
      Variant ie, ano = Variant::Long(c.ano), d = Variant::Long(12);
      ConsisteKV().VerificaConsistencia(ie, ano, d);
    }
    EXPECT_EQ(injetor->comandos, c.esperado) << c.ano << (c.controle ? " controle" : " ConsisteKV");
  }
}

}  // namespace
}  // namespace kv
