// The Jet reader's trust boundary: the pipe format checked frame by frame, the child's deadlines, and
// an import stopped by a signal or killed leaving nothing behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>

#include "apoio.h"
#include "jet/decodifica.h"
#include "jet/filho.h"
#include "jet/importacao.h"
#include "jet/quadros.h"

namespace {

using kv::jet::Coluna;
using kv::jet::Parada;
using kv::jet::Quadro;
using kv::jet::Tabela;
using kv::jet::Valor;

const QString kFixtures = KV_FIXTURES;

struct Guarda : kv::jet::Destinatario {
  std::vector<Tabela> tabelas;
  std::vector<std::vector<Valor>> linhas;
  void Tabelas(const std::vector<Tabela>& t) override { tabelas = t; }
  void Linha(size_t, const std::vector<Valor>& v) override { linhas.push_back(v); }
};

std::string K(const std::vector<std::string>& nomes) {
  Quadro q('K');
  q.U32(static_cast<uint32_t>(nomes.size()));
  for (const std::string& n : nomes) q.Texto(n);
  return q.Bytes();
}
std::string D(const Tabela& t) {
  return Quadro('D').Definicao(t).Bytes();
}
std::string R(const std::vector<Valor>& v) {
  return Quadro('R').Linha(v).Bytes();
}
std::string F(int64_t n) {
  return Quadro('F').I64(n).Bytes();
}
std::string Z() {
  return Quadro('Z').Bytes();
}

// The stream fed in pieces of three bytes; the reason it was refused, or "" when it was whole.
std::string Alimenta(const std::string& fluxo, Guarda& g) {
  kv::jet::Separador s;
  kv::jet::Receptor r(g);
  try {
    for (size_t i = 0; i < fluxo.size(); i += 3) {
      s.Junta(std::string_view(fluxo).substr(i, 3));
      char tipo = 0;
      for (std::string corpo; s.Proximo(tipo, corpo);) r.Recebe(tipo, corpo);
    }
  } catch (const Parada& p) {
    return p.what();
  }
  return r.Concluido() && s.Vazio() ? "" : "incompleto";
}

// Whatever the child sends, the parent takes only a well-formed stream in order, whose rows add up to
// what the file records, and whose types are the few it may write into SQL.
TEST(QuadrosJet, ReceptorSoAceitaUmFluxoInteiroEEmOrdem) {
  const Tabela t{"tbl", {{"a", "INTEGER"}, {"b", "TEXT"}}, 2};
  const std::vector<Valor> l1 = {{Valor::Tipo::Inteiro, -7, 0, {}}, {Valor::Tipo::Texto, 0, 0, "São\n"}};
  const std::vector<Valor> l2 = {{Valor::Tipo::Moeda, 123456, 0, {}}, {Valor::Tipo::Duplo, 0, -0.5, {}}};
  const std::string inicio = K({"tbl"}) + D(t);
  Tabela tres = t, injecao = t, vazia = t;
  tres.linhas = 3;
  injecao.colunas[1].tipoSql = "TEXT); DROP TABLE tbl; --";
  vazia.colunas.clear();
  const std::pair<std::string, const char*> casos[] = {
      {inicio + R(l1) + R(l2) + F(2) + Z(), ""},
      {inicio + R(l1) + R(l2) + F(2), "incompleto"},
      {K({}), "nenhuma tabela"},
      {K({"tbl"}) + D(Tabela{"outra", t.colunas, 0}), "fora do catálogo"},
      {K({"tbl"}) + D(injecao), "tipo de coluna desconhecido"},
      {K({"tbl"}) + D(vazia), "0 colunas"},
      {K({std::string("t\0b", 3)}), "nome de tabela inválido"},
      {inicio + R({l1[0]}), "número de colunas"},
      {inicio + R(l1) + R(l2) + R(l1), "mais linhas do que as 2"},
      {inicio + R(l1) + R(l2) + F(1), "contagem de linhas"},
      {K({"tbl"}) + D(tres) + R(l1) + R(l2) + F(2), "registra 3 linhas, mas só 2"},
      {K({"tbl"}) + R(l1), "fora de ordem"},
      {inicio + R(l1) + Z(), "fora de ordem"},
      {inicio + R(l1) + R(l2) + F(2) + Z() + Z(), "fora de ordem"},
      {Quadro('K').U32(1).U32(1000).Bytes() + "x", "mais curto do que diz"},
      {Quadro('K').U32(0x7fffffff).Bytes(), "mais curto do que diz"},  // a count is never allocated
      {inicio + R(l1) + R(l2) + F(2) + Quadro('Z').U32(0).Bytes(), "bytes a mais"},
      {"K\xff\xff\xff\x7f", "maior do que o permitido"},
      {inicio + Quadro('R').U32(2).U32(9).Bytes(), "tipo de valor desconhecido"},
      {Quadro('X').Bytes(), "tipo desconhecido"},
      {inicio + Quadro('E').Texto("um valor da coluna b passa do fim da página").Bytes(), "passa do fim"},
  };
  for (const auto& [fluxo, esperado] : casos) {
    Guarda g;
    const std::string erro = Alimenta(fluxo, g);
    EXPECT_NE(erro.find(esperado), std::string::npos)
        << "esperado '" << esperado << "', veio '" << erro << "'";
    EXPECT_TRUE(*esperado ||
                (g.tabelas == std::vector<Tabela>{t} && g.linhas == std::vector<std::vector<Valor>>{l1, l2}));
  }
}

// Jet text as its bytes hold it: code page 1252, UTF-16 with and without Jet's compression, characters
// beyond the first plane as a surrogate pair; a surrogate without its pair is '?', not bytes that are
// not UTF-8.
TEST(TextoJet, CadaCodificacaoEmUtf8) {
  const std::tuple<std::string, bool, std::string> casos[] = {
      {"Mar\xe7o \x80", false, "Março €"},
      {{"S\0\xe3\0o\0 \0\xac\x20", 10}, true, "São €"},
      {{"\xff\xfeMar\0\xe7\0\0o", 10}, true, "Março"},  // compressed: a 0 switches to two bytes and back
      {{"=\xd8\0\xde", 4}, true, "\xf0\x9f\x98\x80"},
      {{"A\0\0\xd8\x42\0\0\xdc", 8}, true, "A?B?"},
  };
  for (const auto& [bytes, unicode, texto] : casos)
    EXPECT_EQ(kv::jet::TextoJet(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), unicode),
              texto);
}

// A child that stops sending is stopped, and what was being read is named. (A child that floods libmdb's
// messages is a row of the damaged files' table.)
TEST(LeitorJet, FilhoCaladoEhInterrompido) {
  if (!QDir(kFixtures).exists()) GTEST_SKIP() << "pasta de arquivos Jet ausente";
  kv::jet::Limites calado;
  calado.silencioSegundos = 0;
  Guarda g;
  std::vector<std::string> avisos;
  EXPECT_TRUE(kv::teste::Contem(kv::teste::ErroDe([&] {
                                  kv::jet::Le((kFixtures + "/exemplo.mdb").toStdString(), g, avisos, calado);
                                }).c_str(),
                                "parou ao ler o catálogo de tabelas: não respondeu em 0 s"));
}

// The confined child may read, but not write, remove or create files, start programs or processes, open
// sockets or signal other processes: what a crafted file that took over libmdb would reach for.
TEST(LeitorJet, FilhoIsoladoNaoMudaNadaForaDeSi) {
  QTemporaryDir pasta;
  const std::string existente = pasta.filePath("existente").toStdString();
  kv::teste::GravaArquivo(QString::fromStdString(existente), "dados");
  const std::string novo = pasta.filePath("novo").toStdString();
  const pid_t pai = ::getpid();
  const pid_t filho = ::fork();
  if (filho == 0) {
    if (!kv::jet::Isola(kv::jet::Limites{})) ::_exit(100);
    int conseguiu = 0;
    auto tenta = [&](int bit, bool feito) { conseguiu |= feito ? bit : 0; };
    tenta(1, ::open(existente.c_str(), O_RDONLY) < 0);  // reading stays allowed
    tenta(2, ::open(existente.c_str(), O_WRONLY | O_TRUNC) >= 0);
    tenta(4, ::open(novo.c_str(), O_CREAT | O_WRONLY, 0600) >= 0);
    tenta(8, ::unlink(existente.c_str()) == 0);
    tenta(16, ::rename(existente.c_str(), novo.c_str()) == 0);
    tenta(32, ::socket(AF_INET, SOCK_STREAM, 0) >= 0);
    tenta(64, ::kill(pai, 0) == 0);
    const pid_t neto = ::fork();
    if (neto == 0) ::_exit(0);
    tenta(128, neto >= 0);
    char* const argumentos[] = {const_cast<char*>("/bin/true"), nullptr};
    ::execv("/bin/true", argumentos);
    ::_exit(conseguiu + 50);  // execv returned: refused
  }
  int status = 0;
  ::waitpid(filho, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 50) << "bits do que o filho isolado conseguiu fazer: "
                                     << WEXITSTATUS(status) - 50;
  EXPECT_EQ(kv::teste::LeArquivo(QString::fromStdString(existente)), QByteArray("dados"));
  EXPECT_FALSE(QFile::exists(QString::fromStdString(novo)));
}

// A signal during the copy stops it: the private temporary file (0600 while partial) is removed and no
// destination appears; the handlers the program had come back.
TEST(ImportacaoJet, SinalNoMeioNaoDeixaNada) {
  if (!QDir(kFixtures).exists()) GTEST_SKIP() << "pasta de arquivos Jet ausente";
  for (int sinal : {SIGINT, SIGTERM, SIGHUP}) {
    QTemporaryDir pasta;
    const std::string destino = pasta.filePath("gen50.db").toStdString();
    mode_t modo = 0;
    auto progresso = [&](const std::string&, long long feitas, long long) {
      struct stat st {};
      ::stat(kv::jet::Temporario(destino, ::getpid()).c_str(), &st);
      modo = st.st_mode & 0777;
      if (feitas >= 4000) ::raise(sinal);
    };
    const kv::jet::Importacao r =
        kv::jet::Importa((kFixtures + "/gen50.mdb").toStdString(), destino, progresso);
    EXPECT_EQ(r.sinal, sinal);
    EXPECT_EQ(modo, 0600u);
    EXPECT_EQ(QDir(pasta.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList());
    struct sigaction atual {};
    ::sigaction(sinal, nullptr, &atual);
    EXPECT_EQ(atual.sa_handler, SIG_DFL);
  }
}

}  // namespace
