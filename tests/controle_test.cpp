// The control's logic through its public members: build, click, double-click, final check, paint.
#include "control/controle.h"

#include <gtest/gtest.h>

#include <QFile>
#include <cstdio>
#include <functional>

#include "apoio.h"
#include "checker/consistekv.h"
#include "platform/certificacao.h"
#include "platform/configuracao.h"
#include "platform/db/sqlite_banco.h"
#include "platform/erro.h"
#include "platform/externos.h"
#include "rules/frame/estado.h"

namespace kv {
namespace {

using teste::BancoTeste;
using teste::CaixaGravada;
using teste::L;

// A declaration 12 with a warning of group A (acceptable) and, optionally, an error of group B.
void Prepara(BancoTeste& b, bool comErro) {
  b.Linhas(std::string("D; E 3 1000 0; UE 3 SP 1000 1000; S 11 1000 0 ") + (comErro ? "0" : "1"));
}

// The tree as "parent/key/text/image" per node, in order.
std::vector<std::string> Nos(ControleConsistencia& c) {
  std::vector<std::string> r;
  for (const auto& n : c.ListaDeLocais().Nos())
    r.push_back(n->pai + "/" + n->chave + "/" + n->texto + "/" + std::to_string(n->imagem));
  return r;
}

// The same from a check's result.
std::vector<std::string> Nos(const ResultadoVerificacao& r) {
  std::vector<std::string> nos;
  for (const GrupoResultado& g : r.arvore) {
    nos.push_back("/" + g.chave + "/" + g.texto + "/" + std::to_string(g.imagem));
    for (const ItemResultado& i : g.itens)
      nos.push_back(g.chave + "/" + i.chave + "/" + i.texto + "/" + std::to_string(i.imagem));
  }
  return nos;
}

// The result says what the tree and the panel show, without touching either.
TEST(Montagem, ImagensEStatusConformeORegistro) {
  const std::vector<std::string> exercicio = {"/Exercício/Exercício/1",
                                              "Exercício/M:ExercícioZER/Exercício/2"};
  auto com2001 = [&](int imagemTovir) {
    auto r = exercicio;
    r.insert(r.end(), {"/TOVIR/TOVIR/1", "TOVIR/J:TOVIR 3.X/TOVIR 3.X/" + std::to_string(imagemTovir),
                       "/Declaração de Enquadramento/Declaração de Enquadramento/1",
                       "Declaração de Enquadramento/F:-1/Enquadramento Ignorado/2"});
    return r;
  };
  // The recorded flag (N is Null) and key: "certa" (made from the data), "sem-biblioteca" (re-made with the
  // certification library missing) or as written; then the status, the tree and why the flag was set aside.
  const struct {
    int exercicio;
    const char *consistente, *chave;
    std::string status;
    std::vector<std::string> nos;
    std::string aviso;
  } casos[] = {
      {2001, "0", "", kStatusInconsistente, com2001(2), ""},  // the first fiscal year with every group
      {2002, "N", "", kStatusInconsistente, com2001(2), ""},
      // Recorded consistent: common items show accepted; Exercício and Enquadramento as they are.
      {2002, "1", "certa", kStatusConsistente, com2001(3), ""},
      // A flag is recorded with its key: alone, or with a key that no longer seals the data, it does not
      // stand.
      {2002, "1", "", kStatusInconsistente, com2001(2), kAvisoSemChave},
      {2002, "1", "0123456789ABCDEF0123456789ABCDEF", kStatusInconsistente, com2001(2),
       kAvisoChaveNaoConfere},
      // A key that cannot be re-made (no certification library) is no proof either; the tree is built.
      {2002, "1", "sem-biblioteca", kStatusInconsistente, com2001(2), kAvisoChaveNaoConferida},
      {2000, "0", "", kStatusInconsistente, exercicio, ""},  // enrolment filled in, no newer groups
  };
  for (const auto& c : casos) {
    BancoTeste b(c.exercicio);
    b.Linhas(std::string("D -1 1 ") + c.consistente + "; T 3.7 A 1 5");
    const std::string onde = std::to_string(c.exercicio) + " " + c.consistente + " " + c.chave;
    const std::string chave = std::string(c.chave) == "certa" ? ChaveDosDados(12) : c.chave;
    b.Sql("UPDATE tblDeclaração SET Chave = ?", {Variant::Str(chave)});
    if (chave == "sem-biblioteca") DefinePastaDaCertificacao(b.pasta() + "/sem-biblioteca");
    ControleConsistencia controle;
    controle.DefineDeclaracao(L(12));
    const ResultadoVerificacao r = controle.Verifica();
    DefinePastaDaCertificacao("");
    EXPECT_EQ(controle.Mensagem().Valor(), c.status) << onde;
    EXPECT_EQ(Nos(controle), c.nos) << onde;
    EXPECT_EQ(controle.AvisoRegistro().substr(0, c.aviso.size()), c.aviso) << onde;
    EXPECT_TRUE(r.status == c.status && r.consistente == (c.status == kStatusConsistente) && !r.erro) << onde;
    EXPECT_EQ(Nos(r), c.nos) << onde;
    EXPECT_EQ(r.aviso, controle.AvisoRegistro());
    EXPECT_EQ(r.entradas.size(), teste::Entradas().size());
  }
  // Without a database the check fails, says why, and has no status.
  BancoTeste b;
  DefineValorDaExecucao("KV", "DB", "DbAtual", b.pasta() + "/nao-existe.db");
  ControleConsistencia controle;
  controle.DefineDeclaracao(L(12));
  const ResultadoVerificacao r = controle.Verifica();
  EXPECT_TRUE(!r.status && r.erro && r.erro->numero == 91);
}

TEST(Montagem, SemEntradasEhConsistenteEArvoreVazia) {
  BancoTeste b;
  b.Linhas("D; C 1 12.345.678/0001-90 4711-3/02; E 1 0 0");
  ControleConsistencia controle;
  controle.DefineDeclaracao(L(12));
  controle.MontaInconsistencias();
  EXPECT_EQ(controle.Mensagem().Valor(), kStatusConsistente);
  EXPECT_EQ(controle.ListaDeLocais().Count(), 0);
  EXPECT_NE(controle.Label1().Valor().find("forem eliminadas.\r\n\r\nA Lista de Inconsistências vazia"),
            std::string::npos);
  EXPECT_NE(controle.Label2().Valor().find("bem como ageração"), std::string::npos);
  EXPECT_TRUE(controle.Consistir());  // an empty tree: the key is made and recorded
  EXPECT_EQ(TextoDe(b.Gravado().second).size(), 32u);
  // A declaration without a row still builds its tree; its flag reads as Null.
  controle.DefineDeclaracao(L(77));
  controle.MontaInconsistencias();
  EXPECT_EQ(controle.Mensagem().Valor(), kStatusInconsistente);
  EXPECT_EQ(controle.ListaDeLocais().NoNaPosicao(2)->chave, "M:ExercícioZER");
}

TEST(Montagem, ChaveRepetidaDaUmNoEDuasEntradasNovaMontagemIgualEOFimEsvaziaAColecao) {
  BancoTeste b;
  Prepara(b, false);
  b.Linhas("E 3 10 0");
  auto controle = std::make_unique<ControleConsistencia>();
  controle->DefineDeclaracao(L(12));
  controle->MontaInconsistencias();
  auto primeira = Nos(*controle);
  long entradas = ObtemInconsistencias().Count();
  controle->MontaInconsistencias();
  EXPECT_EQ(Nos(*controle), primeira);
  EXPECT_EQ(ObtemInconsistencias().Count(), entradas);
  EXPECT_EQ(std::count(primeira.begin(), primeira.end(), "Entradas/A:Entradas3Imp/Março/2"), 1);
  EXPECT_EQ(teste::Entradas()[1], teste::Entradas()[2]);  // both entries stay in the store
  controle.reset();                                       // the end of the control empties the store
  ColecaoInconsistencias& c = ObtemInconsistencias();
  EXPECT_EQ(c.Count(), 0);
  c.Add({"Outro", "X:1", "x", "3"}, "a");  // a group no rule makes is stored like any other
  EXPECT_EQ(teste::NumeroDoErro([&] { c.Add({"Outro"}, "a"); }), kErroChaveColecao);
  EXPECT_EQ(teste::NumeroDoErro([&] { c.Item(2); }), kErroSubscrito);
}

// Nodes made by hand (what each kind of finding shows and accepts is the rules' test): a header and keys no
// check makes are explained without fault; a click selects its node even when its message cannot be
// built; the lock and a node that left the tree stop a double-click.
TEST(Clique, NosAvulsosTravaENoAntigo) {
  ControleConsistencia controle;
  controle.ListaDeLocais_DblClick();  // nothing clicked yet: quiet
  Arvore& a = controle.ListaDeLocais();
  a.AdicionaRaiz("Entradas", "Entradas", kImagemCabecalho);
  const std::pair<std::string, std::string> casos[] = {
      {"Entradas", ""},
      {"E:TOVIR 9.9", "Ocorrendo compras de produtores agropecuários norvenses"},
      {"E:TOVIR 1.1 M=0 extra", "\r\n\r\nAlém disso, há lançamento de zeros para este código TOVIR!"}};
  for (const auto& [chave, trecho] : casos) {
    NoRef no = a.Busca(chave) ? a.Busca(chave) : a.AdicionaFilho("Entradas", chave, chave, kImagemAberta);
    controle.Mensagem().Define("antes");
    controle.ListaDeLocais_NodeClick(no);
    const std::string v = controle.Mensagem().Valor();
    EXPECT_TRUE(trecho.empty() ? v.empty() : v.find(trecho) != std::string::npos) << chave << v;
    const int antes = no->imagem;
    controle.ListaDeLocais_DblClick();
    EXPECT_EQ(no->imagem, antes) << chave;
  }
  // No database here: the builder of an interstate item reads one and fails, but the node is selected.
  NoRef no = a.AdicionaFilho("Entradas", "C:325", "Março", kImagemAberta);
  EXPECT_NE(teste::NumeroDoErro([&] { controle.ListaDeLocais_NodeClick(no); }), 0);
  EXPECT_EQ(controle.Selecionado(), no);
  for (bool trava : {true, false}) {
    controle.RetiradbClick(trava);
    controle.ListaDeLocais_DblClick();
    EXPECT_EQ(no->imagem, trava ? kImagemAberta : kImagemAceita);
  }
  controle.Clear();
  EXPECT_EQ(a.Count(), 0);
  controle.ListaDeLocais_DblClick();  // the node left the tree: no error
}

TEST(FechoFinal, ConsistirEMostrouMsg) {
  const std::string inconsistente = "Atenção!|16|Esta declaração possui inconsistências!";
  // A warning left open, accepted, and accepted beside an error that cannot be: the box ("title|style|text")
  // and whether the declaration is recorded consistent, with its key.
  const struct {
    bool comErro;
    std::vector<std::string> aceitar;
    std::string caixa;
    bool gravadaConsistente;
  } casos[] = {{false, {}, inconsistente, false},
               {false, {"A:Entradas3Imp"}, "Atenção!|64|Consistência efetuada com sucesso!", true},
               {true, {"A:Entradas3Imp", "B:Saídas11Imp"}, inconsistente, false}};
  for (const auto& c : casos) {
    BancoTeste b;
    Prepara(b, c.comErro);
    b.Linhas("C 1 12.345.678/0001-90 4711-3/02");
    b.Sql("UPDATE tblDeclaração SET Consistente = 1, Chave = 'ANTIGA' WHERE Declaração = 12");
    auto caixa = std::make_shared<CaixaGravada>();
    ControleConsistencia controle;
    controle.DefineInterface(nullptr, nullptr, nullptr, caixa);
    controle.DefineDeclaracao(L(12));
    b.Sql("UPDATE tblDeclaração SET Consistente = 0 WHERE Declaração = 12");
    controle.MontaInconsistencias();
    for (auto& k : c.aceitar) {
      controle.ListaDeLocais_NodeClick(controle.ListaDeLocais().Busca(k));
      controle.ListaDeLocais_DblClick();
    }
    EXPECT_TRUE(controle.MostrouMsg());
    EXPECT_EQ(caixa->completos, std::vector<std::string>{c.caixa}) << c.aceitar.size();
    auto [consistente, chave] = b.Gravado();
    EXPECT_TRUE(CBool(consistente) == c.gravadaConsistente &&
                TextoDe(chave).size() == (c.gravadaConsistente ? 32u : 0u))
        << c.aceitar.size() << " " << TextoDe(chave);
  }
}

// A paint builds only with a declaration, and again only when the data may differ: after Clear, another
// connection's commit, a write through the control's own connection, or the file replaced by a copy (a
// new connection, whose version counter may read the same).
TEST(Pintura, ReconstroiSoComDeclaracaoEDadosNovos) {
  BancoTeste b;
  b.Linhas("D");
  ControleConsistencia controle;
  for (const Variant& v :
       {Variant(), Variant::Long(0), Variant::Str(""), Variant::Str("0"), Variant::Nulo()}) {
    controle.DefineDeclaracao(v);
    EXPECT_FALSE(controle.Pinta());
  }
  EXPECT_EQ(controle.Label1().Valor(), "Label1");
  controle.DefineDeclaracao(L(12));
  const std::string copia = b.caminho() + ".copia";
  const std::function<void()> mudancas[] = {
      [] {},
      [&] {
        controle.Clear();
        EXPECT_EQ(controle.ListaDeLocais().Count(), 0);
        EXPECT_EQ(controle.Mensagem().Valor(), "");
      },
      [&] {
        ASSERT_TRUE(QFile::copy(QString::fromStdString(b.caminho()), QString::fromStdString(copia)));
        ASSERT_EQ(std::rename(copia.c_str(), b.caminho().c_str()), 0);
      },
      [&] { AbreSqlite(b.caminho())->Executa("UPDATE tblDeclaração SET DeAcordo = 0", {}); },
      // A host that fixes a finding through the connection the control shares, then repaints.
      [&] {
        std::string caminho = b.caminho();
        CriaComo<ConexaoBanco>(kClsidConexaoBanco)
            ->AbreBanco(caminho)
            ->Executa("UPDATE tblDeclaração SET DeAcordo = 1", {});
      },
  };
  EXPECT_TRUE(controle.Pinta());
  for (size_t i = 0; i < std::size(mudancas); ++i) {
    mudancas[i]();
    EXPECT_EQ(controle.Pinta(), i > 0) << i;
    EXPECT_GT(controle.ListaDeLocais().Count(), 0) << i;
    EXPECT_FALSE(controle.Pinta()) << i;
  }
}

}  // namespace
}  // namespace kv
