// ConsisteKV and the consistency key: rule set, settings, the temporary file, certification failures.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <fstream>
#include <thread>
#include <tuple>

#include "apoio.h"
#include "checker/consistekv.h"
#include "host/exemplo.h"
#include "platform/arquivo.h"
#include "platform/certificacao.h"
#include "platform/configuracao.h"
#include "platform/erro.h"
#include "platform/temporaria.h"
#include "platform/texto.h"
#include "rules/frame/estado.h"
#include "rules/frame/inconsistencias.h"

namespace kv {
namespace {

using teste::BancoTeste;
using teste::CaixaGravada;
using teste::Entradas;
using teste::L;
using teste::NumeroDoErro;

// Whether this process left a key's private folder (and the taxpayer's data in it) behind.
bool SobrouArquivoTemporario() {
  const QString prefixo = "kvconsistencia-" + QString::number(::getpid()) + "-chave-";
  return !QDir(QString::fromStdString(BaseTemporaria(PastaTemporaria::Onde::Execucao)))
              .entryList({prefixo + "*"}, QDir::Dirs | QDir::Hidden)
              .isEmpty();
}

// Only the five rules of the headless checker decide its key; it records the fiscal year before any rule,
// and a second call keeps only its own entries.
TEST(VerificaConsistencia, SoAsCincoRegrasContam) {
  const struct {
    const char *nome, *sql;  // statements between ';'
    bool chave;
  } casos[] = {
      {"limpa", "", true},
      {"só problema mensal", "UPDATE tblEntradas SET ImpAquisição = 0 WHERE Declaração = 12 AND Ref = 3",
       true},
      {"sem lançamento mensal",
       "DELETE FROM tblEntradas; DELETE FROM tblSaídas; DELETE FROM tblDetalhesInterUFs; DELETE FROM "
       "tblTOVIR",
       true},
      {"CNPJ vazio", "UPDATE tblContribuinte SET CNPJ = '__.___.___/____-__'", false},
      {"enquadramento -1", "UPDATE tblDeclaração SET DeAcordo = -1", false},
      {"entradas interestaduais",
       "UPDATE tblDetalhesInterUFs SET ValorContábil_1 = 1 WHERE Ref = 1 AND Tipo = 0", false},
      {"saídas interestaduais",
       "UPDATE tblDetalhesInterUFs SET ValorContábil_1 = 1 WHERE Ref = 1 AND Tipo = 1", false},
      {"TOVIR", "INSERT INTO tblTOVIR VALUES (12, '2.5', 'Vila', 1, 0)", false},
  };
  for (const auto& c : casos) {
    BancoTeste b;
    host::InsereDeclaracaoLimpa(b.db(), 12, "900");
    for (const std::string& sql : Divide(c.sql, ";"))
      if (!sql.empty()) b.Sql(sql);
    Variant ie = Variant::Str("900"), ano = Variant::Str("2003"), d = L(12);
    EXPECT_TRUE(ConsisteKV().VerificaConsistencia(ie, ano, d).IsEmpty()) << c.nome;
    EXPECT_EQ(ObtemInconsistencias().Count() == 0, c.chave) << c.nome;
    auto [consistente, chave] = b.Gravado(12);
    EXPECT_EQ(CBool(consistente), c.chave) << c.nome;
    EXPECT_EQ(chave.IsNull() ? "Nulo" : TextoDe(chave), c.chave ? ChaveDosDados(12) : "Nulo") << c.nome;
    EXPECT_EQ(Estado().ie.AsString(), "900");
  }
  BancoTeste b;
  host::InsereDeclaracaoLimpa(b.db(), 1, "1");
  host::InsereDeclaracaoLimpa(b.db(), 2, "2");
  b.Sql("UPDATE tblDeclaração SET DeAcordo = -1");
  Variant ie, ano = L(2000), d = Variant::Str("12 OR 1=1"), d1 = L(1), d2 = L(2);
  EXPECT_EQ(NumeroDoErro([&] { ConsisteKV().VerificaConsistencia(ie, ano, d); }), kErroTipos);
  EXPECT_EQ(Config().Le("KV", "Exercicio", "ExercicioAtual", ""), "2000");
  ano = L(2002);
  ConsisteKV kv;
  kv.VerificaConsistencia(ie, ano, d1);
  kv.VerificaConsistencia(ie, ano, d2);
  EXPECT_EQ(Entradas(), (std::vector<std::string>{"Enquadramento # Enquadramento ",
                                                  "Enquadramento # F:-1 # Enquadramento Ignorado # 2"}));
}

// The key seals every table it covers: a change to any of them, after the key was recorded, breaks it.
TEST(Chave, SelaCadaTabela) {
  const char* mudancas[] = {
      "UPDATE tblDeclaração SET DeAcordo = 2 WHERE Declaração = 12",
      "UPDATE tblContribuinte SET CNAE = '0000-0/00' WHERE IE = '1'",
      "UPDATE tblEntradas SET EntradaInterna = EntradaInterna + 0.01 WHERE Declaração = 12 AND Ref = 5",
      "UPDATE tblSaídas SET SaídaInternaNtrib = SaídaInternaNtrib + 0.01 WHERE Declaração = 12 AND Ref = 5",
      "UPDATE tblDetalhesInterUFs SET ICMSCobradoST = ICMSCobradoST + 0.01 WHERE Declaração = 12 AND Ref = 5 "
      "AND Tipo = 1",
      "UPDATE tblTOVIR SET Município = 'Outra' WHERE rowid = (SELECT min(rowid) FROM tblTOVIR WHERE "
      "Declaração = 12)",
  };
  for (const char* sql : mudancas) {
    BancoTeste b;
    host::InsereDeclaracaoLimpa(b.db(), 12, "1", 2, 10);
    teste::DefineDeclaracao(12);
    ConsisteKV().GeraConsistencia();
    std::string chave = TextoDe(b.Gravado(12).second);
    ASSERT_TRUE(ChaveConfere(12, chave));
    b.Sql(sql);
    EXPECT_FALSE(ChaveConfere(12, chave)) << sql;
  }
}

// The key is the last 32 bytes of the certifier's file; a shorter file is a registry error.
TEST(Chave, LidaDosUltimos32Bytes) {
  QTemporaryDir pasta;
  const std::string alfabeto = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz!@#$%&*()";
  for (size_t tamanho : {size_t{70}, size_t{32}, size_t{31}}) {
    const std::string arquivo = pasta.filePath("k" + QString::number(tamanho)).toStdString();
    std::ofstream(arquivo, std::ios::binary) << alfabeto.substr(0, tamanho);
    std::string chave;
    EXPECT_EQ(NumeroDoErro([&] { chave = LeChaveDoArquivo(arquivo); }), tamanho < 32 ? kErroRegistro : 0);
    EXPECT_EQ(chave, tamanho < 32 ? "" : alfabeto.substr(tamanho - 32, 32)) << tamanho;
  }
  EXPECT_EQ(NumeroDoErro([&] { LeChaveDoArquivo(pasta.filePath("nenhum").toStdString()); }),
            kErroArquivoNaoEncontrado);
}

// A run's private folder: in the runtime folder only when that is the user's alone, mode 0700, and gone
// at its end and (after a kill) at the next run's start. (A signal that ends the run: the Jet copies' test.)
TEST(Chave, PastaPrivadaDaExecucao) {
  QTemporaryDir raiz;
  const QString privada = raiz.filePath("privada"), aberta = raiz.filePath("aberta"),
                tmp = raiz.filePath("tmp");
  for (const auto& [pasta, modo] : {std::pair{privada, 0700}, {aberta, 0755}, {tmp, 0700}}) {
    QDir().mkpath(pasta);
    ::chmod(pasta.toUtf8().constData(), static_cast<mode_t>(modo));
  }
  const QByteArray antesExecucao = qgetenv("XDG_RUNTIME_DIR"), antesTmp = qgetenv("TMPDIR");
  qputenv("TMPDIR", tmp.toUtf8());
  // A run killed with SIGKILL left its folder: a process that has ended.
  const pid_t morto = ::fork();
  if (morto == 0) ::_exit(0);
  ::waitpid(morto, nullptr, 0);
  for (const QString& execucao : {privada, aberta}) {
    qputenv("XDG_RUNTIME_DIR", execucao.toUtf8());
    const QString base = execucao == privada ? privada : tmp;
    const QString resto = base + "/kvconsistencia-" + QString::number(morto) + "-jet-abc123";
    teste::GravaArquivo(resto + "/tempXYZ.prf", "dados do contribuinte");
    std::string caminho;
    {
      PastaTemporaria p("chave", PastaTemporaria::Onde::Execucao);
      caminho = p.caminho();
      struct stat st {};
      ASSERT_EQ(::stat(caminho.c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 0777, 0700u);
      EXPECT_TRUE(QString::fromStdString(caminho).startsWith(base + "/kvconsistencia-" +
                                                             QString::number(::getpid()) + "-chave-"))
          << caminho;
      EXPECT_FALSE(QDir(resto).exists());
      teste::GravaArquivo(QString::fromStdString(p.Arquivo("tempXYZ.prf")), "x");
    }
    EXPECT_FALSE(QDir(QString::fromStdString(caminho)).exists());
  }
  for (const auto& [nome, valor] : {std::pair{"XDG_RUNTIME_DIR", antesExecucao}, {"TMPDIR", antesTmp}})
    valor.isNull() ? qunsetenv(nome) : qputenv(nome, valor);
}

// A certifier that fails (the box says so) or a library that is not there: an error that says which, no
// temporary file left, and the recorded flag and key as they were.
TEST(Chave, CertificacaoQueFalhaMostraACaixaEGravaNada) {
  BancoTeste b;
  host::InsereDeclaracaoLimpa(b.db(), 12, "1");
  b.Sql("UPDATE tblDeclaração SET Consistente = 0, Chave = 'ANTERIOR'");
  const std::vector<std::string> caixaDeErro = {"Atenção!|16|Erro na geração da chave interna."};
  const std::tuple<std::string, int, std::string, std::vector<std::string>> casos[] = {
      {KV_PASTA_FALHA, kErroCertificacao, "", caixaDeErro},
      {b.pasta() + "/sem-biblioteca", kErroArquivoNaoEncontrado, "sem-biblioteca/libCertificaTarvo.so", {}}};
  for (const auto& [pasta, numero, trecho, caixas] : casos) {
    DefinePastaDaCertificacao(pasta);
    auto caixa = std::make_shared<CaixaGravada>();
    ConsisteKV kv;
    kv.DefineCaixa(caixa);
    Variant ie, ano = L(2002), d = L(12);
    const std::string erro = teste::ErroDe([&] { kv.VerificaConsistencia(ie, ano, d); });
    DefinePastaDaCertificacao("");
    EXPECT_TRUE(erro.starts_with(std::to_string(numero) + ": ") && erro.find(trecho) != std::string::npos)
        << erro;
    EXPECT_EQ(caixa->completos, caixas);
    EXPECT_FALSE(SobrouArquivoTemporario());
    EXPECT_FALSE(CBool(b.Gravado().first));
    EXPECT_EQ(TextoDe(b.Gravado().second), "ANTERIOR");
  }
}

TEST(Chave, DuasExecucoesAoMesmoTempoDaoDuasChavesCertas) {
  BancoTeste b;
  host::InsereDeclaracaoLimpa(b.db(), 1, "1");
  host::InsereDeclaracaoLimpa(b.db(), 2, "2", 3);
  b.db().Executa("UPDATE tblEntradas SET EntradaInterna = 7000 WHERE Declaração = 2", {});
  auto roda = [&](int d) {
    for (int i = 0; i < 5; ++i) {
      Variant ie, ano = L(2002), n = L(d);
      ConsisteKV().VerificaConsistencia(ie, ano, n);
    }
    ReiniciaEstado();
  };
  std::thread t1(roda, 1), t2(roda, 2);
  t1.join();
  t2.join();
  EXPECT_EQ(TextoDe(b.Gravado(1).second), ChaveDosDados(1));
  EXPECT_EQ(TextoDe(b.Gravado(2).second), ChaveDosDados(2));
  EXPECT_NE(ChaveDosDados(1), ChaveDosDados(2));
}

}  // namespace
}  // namespace kv
