// The rules against real SQLite databases: inputs that must give an entry beside those that must not, and
// every kind of finding as the user meets it: its figures, its message and whether it may be accepted.
#include "rules/regras.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "apoio.h"
#include "control/controle.h"
#include "host/host.h"
#include "platform/configuracao.h"
#include "platform/erro.h"
#include "platform/texto.h"
#include "rules/frame/estado.h"
#include "rules/frame/inconsistencias.h"
#include "rules/frame/quadro.h"

namespace kv {
namespace {

using teste::BancoTeste;
using teste::Entradas;
using teste::NumeroDoErro;
using V = std::vector<std::string>;

struct Caso {
  const char* nome;
  std::string linhas;  // rows for BancoTeste::Linhas
  std::string
      esperado;  // the group's items, "key # text # image" each, between "; "; "-" for its header alone
  int erro = 0;
};

// The entries of one group as the store holds them: its header, then "group # key # text # image" each.
V G(const std::string& grupo, const std::string& itens) {
  if (itens.empty()) return {};
  V r = {grupo + " # " + grupo + " "};
  for (const std::string& i : Divide(itens, "; "))
    if (i != "-") r.push_back(grupo + " # " + i);
  return r;
}

// Builds each case's database for declaration 12, runs `regra` and compares the store with `grupo`'s items.
void Executa(void (*regra)(Verificacao&), const char* grupo, const std::vector<Caso>& casos) {
  for (const Caso& c : casos) {
    BancoTeste b;
    b.Linhas(c.linhas);
    teste::DefineDeclaracao(12);
    Verificacao v(Estado());
    v.AbreBanco();  // as the rules that run before it in a real check do
    EXPECT_EQ(NumeroDoErro([&] { regra(v); }), c.erro) << c.nome;
    EXPECT_EQ(Entradas(), G(grupo, c.esperado)) << c.nome;
  }
}

TEST(Cadastro, SemLancamentoMensalOuSoComMascaraVaziaHaAchado) {
  const char* semExercicio = "M:ExercícioZER # Exercício # 3";
  Executa(ConsisteExercicio, "Exercício",
          {{"sem linhas", "", semExercicio},
           {"uma linha", "E 1 0 0", ""},
           {"doze linhas", "E 1; E 2; E 3; E 4; E 5; E 6; E 7; E 8; E 9; E 10; E 11; E 12", ""},
           {"linhas de outra declaração", "E@13 1 0 0", semExercicio}});
  auto com = [](const std::string& cnpj, const std::string& cnae) {
    return "D 1 77; C 77 " + cnpj + " " + cnae;
  };
  const std::string cnpjVazio = "__.___.___/____-__", cnaeVazio = "____-_/__", cnpj = "12.345.678/0001-90",
                    cnae = "4711-3/02";
  Executa(ConsisteContribuinte, "Contribuinte",
          {{"sem contribuinte ligado", "D 1 77", ""},
           {"preenchidos", com(cnpj, cnae), ""},
           {"CNPJ vazio", com(cnpjVazio, cnae), "H:CNPJ # CNPJ # 3"},
           {"CNAE vazio", com(cnpj, cnaeVazio), "I:CNAE # CNAE # 3"},
           {"ambos vazios", com(cnpjVazio, cnaeVazio), "H:CNPJ # CNPJ # 3; I:CNAE # CNAE # 3"},
           {"texto vazio, branco e Nulo não contam", com("''", "N"), ""},
           {"brancos", com("' '", "'   '"), ""}});
}

const char* const kGrupoA = "Entradas";

TEST(Entradas, ImpostoContraUmQuartoDasEntradasInterestaduais) {
  Executa(ConsisteEntradas, kGrupoA,
          {
              {"sem linhas", "", ""},
              {"março sem imposto", "E 3 1000 0", "A:Entradas3Imp # Março # 3"},
              {"igual a um quarto não é maior", "E 3 1000 250", ""},
              {"um centavo acima do quarto", "E 3 1000 250.01", "A:Entradas325% # Março # 3"},
              {"zero e zero", "E 3 0 0", ""},
              {"entradas zero e imposto 5", "E 3 0 5", "A:Entradas325% # Março # 3"},
              {"entradas negativas: 25%, não Imp", "E 3 -100 0", "A:Entradas325% # Março # 3"},
              {"entradas Nulas: nenhum teste vale", "E 3 N 5", ""},
              {"imposto Nulo encerra com Nulo", "E 3 1000 N", "", kErroNulo},
              {"mês 13 tem nome vazio", "E 13 1000 0", "A:Entradas13Imp #  # 3"},
              {"mês 256 estoura", "E 256 1000 0", "-", kErroEstouro},
              {"três meses: um grupo e três itens", "E 1 10 0; E 2 10 2; E 5 10 3; E 6 10 0",
               "A:Entradas1Imp # Janeiro # 3; A:Entradas525% # Maio # 3; A:Entradas6Imp # Junho # 3"},
              {"achados antes do imposto Nulo ficam", "E 1 10 0; E 2 10 N; E 3 10 0",
               "A:Entradas1Imp # Janeiro # 3", kErroNulo},
              {"mesma referência duas vezes, duas entradas", "E 4 10 0; E 4 20 0",
               "A:Entradas4Imp # Abril # 3; A:Entradas4Imp # Abril # 3"},
          });
  const char* meses[] = {"",      "Janeiro", "Fevereiro", "Março",   "Abril",    "Maio",     "Junho",
                         "Julho", "Agosto",  "Setembro",  "Outubro", "Novembro", "Dezembro", ""};
  for (int m = 0; m <= 13; ++m) EXPECT_EQ(NomeDoMes(static_cast<uint8_t>(m)), meses[m]) << m;
}

const char* const kGrupoB = "Saídas";

TEST(Saidas, ImpostoDevidoContraSaidasTributadas) {
  Executa(ConsisteSaidas, kGrupoB,
          {
              {"sem linhas", "", ""},
              {"novembro sem imposto", "S 11 600 400 0 999 999", "B:Saídas11Imp # Novembro # 3"},
              {"igual ao quarto", "S 11 600 400 250 999 999", ""},
              {"um centavo acima", "S 11 600 400 250.01 999 999", "B:Saídas1125% # Novembro # 3"},
              {"somas que se anulam", "S 11 1000 -1000 0 999 999", ""},
              {"saídas zero e imposto 10", "S 11 0 0 10 999 999", "B:Saídas1125% # Novembro # 3"},
              {"uma saída Nula", "S 11 N 400 0 999 999", ""},
              {"imposto Nulo", "S 11 1 1 N 999 999", "", kErroNulo},
          });
}

const char* const kGrupoC = "Entradas Interestaduais";

TEST(EntradasInter, TotalEDetalhePorEstado) {
  // State rows whose own tests pass (value = base + others + oil + other goods, tax within 25%): 900.
  const std::string boas = "; UE 3 SP 500 300 150 25 25 1; UE 3 SP 400 240 120 20 20 1";
  Executa(
      ConsisteEntradasInter, kGrupoC,
      {
          {"sem meses", "", ""},
          {"total confere", "E 3 900" + boas, ""},
          {"total 1000 contra 900", "E 3 1000" + boas, "C:3VC # Março # 3"},
          {"sem estados e entrada zero", "E 3 0 0", ""},
          {"sem estados e entrada 500", "E 3 500 0", "C:3VC # Março # 3"},
          {"imposto igual a 25% passa", "E 12 100 0; UE 12 SP 100 100 0 0 0 25", ""},
          {"imposto 25.01 falha", "E 12 100 0; UE 12 SP 100 100 0 0 0 25.01", "C:1225 # Dezembro # 3"},
          {"soma por linha 60+30+5+4 falha", "E 2 100 0; UE 2 SP 100 60 30 5 4 0", "C:225 # Fevereiro # 3"},
          {"total e linha falham: só VC", "E 2 101 0; UE 2 SP 100 60 30 5 4 0", "C:2VC # Fevereiro # 3"},
          {"entrada Nula só pode dar 25", "E 2 N 0; UE 2 SP 100 60 30 5 4 0", "C:225 # Fevereiro # 3"},
          {"dois meses: um grupo", "E 1 5 0; E 2 6 0", "C:1VC # Janeiro # 3; C:2VC # Fevereiro # 3"},
          {"base vazia numa linha encerra com Nulo", "E 2 100 0; UE 2 SP 100 N 0 0 0 0", "", kErroNulo},
          {"valores contábeis todos vazios encerram com Nulo", "E 2 100 0; UE 2 SP N 1 0 0 0 0", "",
           kErroNulo},
          {"referência Nula encerra com Nulo", "E N 5 0", "", kErroNulo},
          {"detalhes de saída não contam", "E 4 0 0; US 4 SP 50 0 50 0 0 0 0", ""},
      });
}

const char* const kGrupoD = "Saídas Interestaduais";

TEST(SaidasInter, TotalComNaoContribuintesEDetalhe) {
  Executa(ConsisteSaidasInter, kGrupoD,
          {
              {"sem meses", "", ""},
              {"700 + 300 contra 600 + 400",
               "S 5 0 700 0 0 300; US 5 SP 400 200 400 200; US 5 RJ 200 200 200 200", ""},
              {"700 + 300 contra 600 + 350",
               "S 5 0 700 0 0 300; US 5 SP 400 175 400 175; US 5 RJ 200 175 200 175", "D:5VC # Maio # 3"},
              {"não contribuinte Nulo: sem VC, mas 25 ainda vale",
               "S 10 0 100 0 0 N; US 10 SP 80 20 60 20 15 5 20.01", "D:1025 # Outubro # 3"},
              {"linha que passa: imposto igual a 25% de 80", "S 10 0 100 0 0 0; US 10 SP 80 20 60 20 15 5 20",
               ""},
              {"segunda base vazia encerra com Nulo", "S 10 0 100 0 0 0; US 10 SP 80 20 60 N 15 5 20", "",
               kErroNulo},
          });
}

const char* const kGrupoE = "TOVIR";

// Zero amounts and repeated municipalities are looked for under every one of the seven codes.
TEST(Tovir, ZeroERepeticaoEmCadaCodigo) {
  std::vector<Caso> casos;
  for (std::string c : {"1.1", "1.3", "2.2", "2.3", "2.4", "2.5", "2.6"}) {
    const std::string base = "E 1 0 0 1000; S 1 1000 0 1; T " + c + " Vila 1 ";
    casos.push_back({"zero", base + "0", "E:TOVIR " + c + " M=0 # TOVIR " + c + " # 2"});
    casos.push_back(
        {"repetido", base + "1; T " + c + " VILA 2 1", "E:TOVIR " + c + " Dpl # TOVIR " + c + " # 2"});
  }
  casos.push_back({"3.X negativo", "T 3.8 A 1 -0.01", "J:TOVIR 3.X # TOVIR 3.X # 2"});
  Executa(ConsisteTovir, kGrupoE, casos);
}

// Another SQLite client (with its ASCII-only NOCASE) wrote the municipalities, so the index orders
// 'SÃO PAULO' < 'SÉ' < 'São Paulo': the repetition is found all the same.
TEST(Tovir, DuplicidadeComIndiceOrdenadoPorOutroCliente) {
  BancoTeste b;
  b.Linhas("S 1 1000 0 1");
  sqlite3* outro = nullptr;
  ASSERT_EQ(sqlite3_open(b.caminho().c_str(), &outro), SQLITE_OK);
  for (const char* m : {"SÃO PAULO", "SÉ", "São Paulo"}) {
    const std::string sql = std::string("INSERT INTO tblTOVIR VALUES (12, '2.2', '") + m + "', 1, 1)";
    ASSERT_EQ(sqlite3_exec(outro, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  }
  sqlite3_close(outro);
  teste::DefineDeclaracao(12);
  Verificacao v(Estado());
  v.AbreBanco();
  ConsisteTovir(v);
  EXPECT_EQ(Entradas(), G(kGrupoE, "E:TOVIR 2.2 Dpl # TOVIR 2.2 # 2"));
}

TEST(Tovir, ZerosDuplicidadesETotais) {
  const std::string umX = "E:TOVIR 1.X Y>X # TOVIR 1.X # 3", doisX = "E:TOVIR 2.X # TOVIR 2.X # 2";
  Executa(
      ConsisteTovir, kGrupoE,
      {
          {"nada lançado", "", ""},
          {"2.2 no mesmo município com maiúsculas acentuadas",
           "S 1 1000 0 1; T 2.2 'São Paulo' 1 1; T 2.2 Ribeirão 1 1; T 2.2 'SÃO PAULO' 2 1",
           "E:TOVIR 2.2 Dpl # TOVIR 2.2 # 2"},
          {"2.2 com acentos diferentes não é o mesmo município",
           "S 1 1000 0 1; T 2.2 'São Paulo' 1 1; T 2.2 'Sao Paulo' 2 1", ""},
          {"2.2 com letras acentuadas diferentes de mesmo primeiro byte",
           "S 1 1000 0 1; T 2.2 José 1 1; T 2.2 Josê 2 1", ""},
          {"2.2 em municípios diferentes", "S 1 1000 0 1; T 2.2 Vila 1 1; T 2.2 Serra 1 1", ""},
          {"zero e duplicidade no mesmo código",
           "S 1 1000 0 1; T 2.4 Vila 1 0; T 2.4 Vila 2 5; T 1.1 Vila 1 0",
           "E:TOVIR 1.1 M=0 # TOVIR 1.1 # 2; E:TOVIR 2.4 M=0 # TOVIR 2.4 # 2; E:TOVIR 2.4 Dpl # TOVIR 2.4 # "
           "2"},
          {"1.1 + 1.3 iguais às entradas internas", "E 1 0 0 600; E 2 0 0 400; T 1.1 A 1 700; T 1.3 B 1 300",
           ""},
          {"um centavo a mais", "E 1 0 0 1000; T 1.1 A 1 700.01; T 1.3 B 1 300", umX},
          {"código 1.2 nunca é olhado", "T 1.2 A 1 0", ""},
          {"2.X conta as saídas não tributadas", "S 1 100 100 1 100 100; T 2.6 A 1 400", ""},
          {"2.X acima de todas as saídas", "S 1 100 100 1 100 100; T 2.6 A 1 300; T 2.2 B 1 100.01", doisX},
          // 1.X and 2.X read their totals with HAVING and no GROUP BY: another declaration's rows never
          // count.
          {"só os valores da declaração contam",
           "E 1 0 0 100; E@99 1 0 0 1000000; S 1 100 0 1; S@99 1 1000000 0 1; T 1.1 A 1 150; T 2.2 A 1 150",
           umX + "; " + doisX},
          {"3.7 com 150", "T 3.7 A 1 150", "J:TOVIR 3.X # TOVIR 3.X # 2"},
          {"3.7 e 3.8 que se anulam", "T 3.7 A 1 100; T 3.8 A 1 -100", ""},
          {"ordem: zeros, duplicidades, 1.X, 3.X, 2.X", "T 2.3 A 1 5; T 2.3 A 2 0; T 1.1 A 1 1; T 3.8 A 1 2",
           "E:TOVIR 2.3 M=0 # TOVIR 2.3 # 2; E:TOVIR 2.3 Dpl # TOVIR 2.3 # 2; " + umX +
               "; J:TOVIR 3.X # TOVIR 3.X # 2; " + doisX},
          {"somas além da faixa da Currency estouram",
           "T 1.1 A 1 900000000000000.0; T 1.3 B 1 900000000000000.0", "", kErroEstouro},
      });
}

TEST(Tovir, SemBancoSeguradoAsConsultasNaoTocamOBanco) {
  BancoTeste b;
  b.Linhas("T 1.1 A 1 0");
  teste::DefineDeclaracao(12);
  Estado().banco.reset();
  Verificacao v(Estado());
  EXPECT_FALSE(TovirTemZeros(v, "'1.1'"));
  EXPECT_EQ(SomaTovir(v, "'1.1'").dezmilesimos, 0);
  // The 1.X check opens the database itself; with no database to open it fails for the missing object
  // before anything is appended.
  Config().Grava("KV", "DB", "DbAtual", b.pasta() + "/sumiu.db");
  EXPECT_EQ(NumeroDoErro([&] { ConsisteTovir(v); }), kErroObjeto);
  EXPECT_EQ(Entradas(), V{});
}

Variant DeAcordo(BancoTeste& b) {
  return b.db().OpenRecordset("SELECT DeAcordo FROM tblDeclaração WHERE Declaração = 12")->Campo("DeAcordo");
}

TEST(Enquadramento, PreencheAntesDe2001ReportaDepois) {
  const struct {
    int exercicio;
    const char *deAcordo, *depois;  // as written and as read back; N is Null
    const char* esperado;
  } casos[] = {
      {2000, "-1", "1", ""}, {2000, "0", "1", ""}, {2001, "-1", "-1", "F:-1 # Enquadramento Ignorado # 2"},
      {2001, "0", "0", ""},  {2001, "1", "1", ""}, {2001, "N", "N", "F: # Enquadramento Ignorado # 2"},
  };
  for (const auto& c : casos) {
    BancoTeste b(c.exercicio);
    b.Linhas(std::string("D ") + c.deAcordo);
    teste::DefineDeclaracao(12);
    Verificacao v(Estado());
    ConsisteEnquadramento(v);
    EXPECT_EQ(Entradas(), G("Enquadramento", c.esperado)) << c.exercicio << " " << c.deAcordo;
    EXPECT_EQ(DeAcordo(b).IsNull() ? "N" : TextoDe(DeAcordo(b)), c.depois)
        << c.exercicio << " " << c.deAcordo;
  }
}

TEST(Enquadramento, SemLinhaNaoLeOExercicioEFalhasNaoGravam) {
  BancoTeste b;
  Config().Grava("KV", "Exercicio", "ExercicioAtual", "não é um ano");
  teste::DefineDeclaracao(12);
  const auto enquadramento = [] {
    Verificacao v(Estado());
    ConsisteEnquadramento(v);
  };
  EXPECT_EQ(NumeroDoErro(enquadramento), 0);  // no row: the year is not read
  b.Linhas("D -1");
  EXPECT_EQ(NumeroDoErro(enquadramento), kErroTipos);
  Config().Grava("KV", "Exercicio", "ExercicioAtual", "");
  EXPECT_EQ(NumeroDoErro(enquadramento), kErroTipos);
  Config().Grava("KV", "DB", "DbAtual", b.pasta() + "/nao-existe.db");
  EXPECT_EQ(NumeroDoErro(enquadramento), kErroObjeto);
  EXPECT_EQ(DeAcordo(b).AsInt(), -1);
}

const std::string kConvite =
    "Caso esta situação esteja correta, dê duplo clique sobre a Referência correspondente para prosseguir.";
const std::string kSoma =
    "O Valor Contábil não é igual a soma dos valores de: \r\nBase de Cálculo, Outras, Petróleo e Energia, e "
    "Outros Produtos.";
const std::string kLimite = "O valor do Imposto deve ser menor ou igual a 25% do valor de Base de Cálculo!";

// What a click on each kind of finding shows, by the finding's key.
const std::map<std::string, std::string> kMensagens = {
    {"A:Entradas3Imp",
     "Foi informado zero como Valor do Imposto pelas Aquisições Interestaduais.\r\n\r\n" + kConvite},
    {"A:Entradas725%",
     "O Valor do Imposto pelas Aquisições Interestaduais pode estar inconsistente com o montante das "
     "Entradas Interestaduais!\r\n\r\n" +
         kConvite},
    {"B:Saídas11Imp",
     "Havendo Saídas Tributadas (Internas e/ou Interestaduais), deve haver Valor do Imposto Devido diferente "
     "de zero."},
    {"B:Saídas1125%",
     "O Valor do Imposto Devido informado pode estar inconsistente com o montante das Saídas Tributadas "
     "(Internas e Interestaduais)!\r\n\r\n" +
         kConvite},
    {"C:3VC",
     "O Valor Contábil lançado em Entradas deve ser obrigatóriamente igual a somatória dos Valores Contábeis "
     "detalhados por estado.\r\n\r\n"},
    {"C:325", "São Paulo: " + kSoma + "\r\n" + kLimite + "\r\n\r\nRio de Janeiro: " + kSoma +
                  "\r\n\r\n\r\nXX: " + kLimite + "\r\n\r\nParaná: " + kLimite + "\r\n\r\n" + kConvite +
                  "\r\n"},
    {"D:5VC",
     "O Valor Contábil lançado em Saídas deve ser obrigatóriamente igual a somatória do Valor "
     "Contábil(Contribuite) + Valor Contábil (Não Contribuinte) detalhados por estado.\r\n\r\n"},
    {"D:525",
     "São Paulo: O Valor Contábil(Contribuite) + Valor Contábil (Não Contribuinte) (R$100.00) não é igual a "
     "soma dos valores de Base de Cálculo Contribuinte), Base de Cálculo (Não Contribuinte), Outras, e "
     "Imposto Cobrado por ST (R$90.00)!\r\n\r\n\r\n" +
         kConvite + "\r\n"},
    {"E:TOVIR 1.3 M=0", "Há lançamento de zeros para este código TOVIR!"},
    {"E:TOVIR 2.2 Dpl", "Há lançamento de municípios em duplicidade para este código TOVIR!"},
    {"E:TOVIR 1.X Y>X",
     "A soma dos valores detalhados por município, nos códigos TOVIR 1.1 e 1.3, \r\nnão deve ultrapassar a "
     "soma dos valores lançados em Entradas Internas. "},
    {"E:TOVIR 2.X",
     "A somatória dos valores distribuidos aos municípios na TOVIR não deve \r\nser superior a somatória dos "
     "valores lançados em Saídas."},
    {"J:TOVIR 3.X",
     "Foram lançados valores nos seguintes códigos da Tovir abaixo: \r\n\r\n 3.7 -- R$ 2,500.50\r\n 3.8 -- "
     "R$ 7.00\r\n\r\nCaso estes valores acima estejam corretos dê duplo clique."},
    {"H:CNPJ", "Preencha o CNJP!"},
    {"I:CNAE", "Preencha o CNAE!"},
    {"F:-1", "Na Declaração de Enquadramento não há opção selecionada."},
    {"M:ExercícioZER", "Não deve haver exercício sem Regime Tributário."},
};

// Every kind of finding, from a real check: the figures its rule compared (the values planted in its rows),
// the message a click shows (the same the result gives), and whether a double-click accepts it.
TEST(Achados, CadaTipoComValoresMensagemEAceite) {
  const struct {
    const char *linhas, *chave;
    bool aceita;
    const char* figuras;      // "rótulo=valor|…", each among the item's figures
    const char* depois = "";  // a change to the data after the check, before the click
  } casos[] = {
      {"D; E 3 1234.56 0", "A:Entradas3Imp", true, "mês=Março|entradas interestaduais=1234.56|imposto=0.00"},
      {"D; E 7 1234.56 777.77", "A:Entradas725%", true,
       "imposto=777.77|limite (25% da base)=308.64|parcela do imposto na base=0.6300"},
      {"D; S 11 1000 500 0", "B:Saídas11Imp", false, "saídas tributadas (internas e interestaduais)=1500.00"},
      {"D; S 11 600 400 250.01", "B:Saídas1125%", true, "imposto=250.01|limite (25% da base)=250.00"},
      {"D; E 3 1000 0; UE 3 SP 200 200", "C:3VC", false,
       "valor mensal registrado=1000.00|total dos estados=200.00|diferença=800.00"},
      // SP fails both tests, RJ only the sum, XX (no row in tblEstados) only the limit, BA passes, and so
      // does another month; exactly 25% of the base passes (MG), one cent over is listed (PR).
      {"D; E 3 500 0; UE 3 SP 100 60 30 5 4 30; UE 3 RJ 100 60 30 5 4 1; UE 3 XX 50 50 0 0 0 20; UE 3 BA 50 "
       "50 0 0 0 1; UE 5 BA 50 50 0 0 0 1; UE 3 MG 100 100 0 0 0 25; UE 3 PR 100 100 0 0 0 25.01",
       "C:325", true, "mês=Março|SP: teste=soma e 25%|SP: imposto=30.00|SP: limite (25% da base)=15.00"},
      {"D; S 5 0 90; US 5 SP 80 20 60 20 5 5 1", "D:5VC", false, "valor mensal registrado=90.00"},
      // An empty base (data changed after the check) fails nothing, and the message is still built.
      {"D; S 5 0 200; US 5 SP 80 20 60 20 5 5 1; US 5 RJ 80 20 60 20 5 5 1", "D:525", true,
       "SP: valor contábil=100.00|SP: soma das parcelas=90.00",
       "UPDATE tblDetalhesInterUFs SET BaseCálculo_2 = NULL WHERE UF = 'RJ'"},
      {"D; T 1.3 'Porto Azul' 1 0", "E:TOVIR 1.3 M=0", false,
       "código=1.3|municípios com valor zero=Porto Azul"},
      {"D; T 2.2 'Cidade Alta' 1 10; T 2.2 'Cidade Alta' 2 10", "E:TOVIR 2.2 Dpl", false,
       "municípios repetidos=Cidade Alta"},
      {"D; E 1 0 0 100; T 1.1 A 1 60; T 1.3 B 2 50", "E:TOVIR 1.X Y>X", false,
       "total detalhado (1.1 e 1.3)=110.00|entradas internas=100.00"},
      {"D; S 1 10 20 0; T 2.4 C 1 40", "E:TOVIR 2.X", false,
       "total detalhado (2.2 a 2.6)=40.00|saídas=30.00"},
      {"D; T 3.7 A 1 2500.5; T 3.8 B 2 7", "J:TOVIR 3.X", true, "3.7=2500.50|3.8=7.00"},
      {"D 1 1; C 1 __.___.___/____-__ 4711-3/02", "H:CNPJ", false, "CNPJ gravado=__.___.___/____-__"},
      {"D 1 1; C 1 12.345.678/0001-90 ____-_/__", "I:CNAE", false, "CNAE gravado=____-_/__"},
      {"D -1", "F:-1", false, "resposta gravada (DeAcordo)=-1"},
      {"D", "M:ExercícioZER", false, "falta=linhas de entradas mensais (tblEntradas) da declaração"},
  };
  for (const auto& c : casos) {
    BancoTeste b;
    b.Linhas(c.linhas);
    ControleConsistencia controle;
    controle.DefineDeclaracao(Variant::Long(12));
    const ResultadoVerificacao r = controle.Verifica();
    const ItemResultado* item = nullptr;
    for (const GrupoResultado& g : r.arvore)
      for (const ItemResultado& i : g.itens)
        if (i.chave == c.chave) item = &i;
    ASSERT_NE(item, nullptr) << c.chave;
    std::vector<std::string> figuras;
    for (const Figura& f : item->evidencia) figuras.push_back(f.rotulo + "=" + f.valor);
    for (const std::string& f : Divide(c.figuras, "|"))
      EXPECT_NE(std::find(figuras.begin(), figuras.end(), f), figuras.end()) << c.chave << ": " << f;
    EXPECT_FALSE(item->resumo.empty()) << c.chave;
    EXPECT_EQ(item->podeSerAceita, c.aceita) << c.chave;
    const std::string& mensagem = kMensagens.at(c.chave);
    if (*c.depois) {
      b.Sql(c.depois);
    } else {
      EXPECT_EQ(item->mensagem, mensagem) << c.chave;
    }
    // The panel shows the figures only when the host asks for them, each once, as people read them.
    NoRef no = controle.ListaDeLocais().Busca(c.chave);
    for (bool mostra : {false, true}) {
      controle.DefineMostraValores(mostra);
      controle.ListaDeLocais_NodeClick(no);
      const std::string painel = controle.Mensagem().Valor();
      EXPECT_EQ(painel.substr(0, mostra ? mensagem.size() : std::string::npos), mensagem) << c.chave;
      for (const Figura& f : item->evidencia) {
        const std::string linha = f.rotulo + ": " + ParaPessoas(f);
        EXPECT_EQ(painel.find(linha) != std::string::npos, mostra) << c.chave << ": " << linha;
        if (f.tipo != Figura::Tipo::Texto) {
          EXPECT_EQ(painel.find(f.rotulo + ": " + f.valor), std::string::npos);
        }
      }
    }
    // A double-click accepts a warning, and a second one takes the acceptance back; an error stays open.
    const int antes = no->imagem;
    controle.ListaDeLocais_DblClick();
    EXPECT_EQ(no->imagem, c.aceita ? kImagemAceita : antes) << c.chave;
    controle.ListaDeLocais_DblClick();
    EXPECT_EQ(no->imagem, antes) << c.chave;
  }
}

// Records what the interstate rules tell the filter, and answers with a chosen value.
struct FiltroGravador : FiltroReferencia {
  void InformaBanco(std::string& caminho) override { bancos.push_back(caminho); }
  void InformaReferencia(Variant& declaracao, const Variant& referencia) override {
    referencias.push_back(CStr(declaracao) + "/" + CStr(referencia));
  }
  Variant Resultado() override { return resposta; }
  Variant resposta;
  std::vector<std::string> bancos, referencias;
};

TEST(FiltroReferencia, DecideQuaisMesesSaoExaminados) {
  const std::pair<Variant, bool> casos[] = {{Variant::Long(0), false},
                                            {Variant(), false},
                                            {Variant::Nulo(), false},
                                            {Variant::Long(1), true},
                                            {Variant::Bool(true), true}};
  for (const auto& [resposta, reporta] : casos) {
    BancoTeste b;
    b.Linhas("E 1 5 0; S 2 0 7 1");
    int criados = 0;
    std::shared_ptr<FiltroGravador> filtro;
    RegistraClasse(kClsidFiltroReferencia, [&] {
      ++criados;
      filtro = std::make_shared<FiltroGravador>();
      filtro->resposta = resposta;
      return filtro;
    });
    teste::DefineDeclaracao(12);
    Verificacao v(Estado());
    ConsisteEntradasInter(v);
    ConsisteSaidasInter(v);
    host::RegistraComponentes();
    const std::string onde = TextoDe(resposta);
    EXPECT_EQ(Entradas().size(), reporta ? 4u : 0u) << onde;
    EXPECT_EQ(criados, 1) << onde << ": one shared instance for both rules";
    EXPECT_EQ(filtro->bancos, (V{b.caminho(), b.caminho()})) << onde;
    EXPECT_EQ(filtro->referencias, (V{"12/1", "12/2"})) << onde;
  }
}

}  // namespace
}  // namespace kv
