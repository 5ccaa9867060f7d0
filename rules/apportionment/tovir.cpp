// Municipal apportionment (TOVIR): zero amounts and repeated municipalities per code, and the code
// totals against the declaration's internal entries (1.X) and all its exits (2.X).
#include "platform/texto.h"
#include "rules/frame/quadro.h"
#include "rules/regras.h"

namespace kv {
namespace {

const char* const kCodigos[] = {"'1.1'", "'1.3'", "'2.2'", "'2.3'", "'2.4'", "'2.5'", "'2.6'"};

// The held-object test: the queries touch the database only while the last opening by any rule
// returned one.
bool HaBanco() {
  return Estado().banco != nullptr;
}

// Whether the TOVIR query `modelo` returns a row for the declaration and the code.
bool TemLinha(const ModeloSql& modelo, const std::string& codigo) {
  std::string declaracao = NumeroDeclaracao();
  return !AbreModelo(Exige(AbreBancoRegra()), modelo, {declaracao, codigo})->Eof();
}

// The municipalities of the last duplicates test on this thread.
thread_local std::vector<std::string> tMunicipios;

std::string Lista(const std::vector<std::string>& nomes) {
  std::string r;
  for (const std::string& n : nomes) r += (r.empty() ? "" : "; ") + n;
  return r;
}

}  // namespace

void CompletaTovir(const std::string& chave, Evidencia& e) {
  // Zeros: the municipalities, which the test's own statement does not select, read now for this item.
  if (!chave.ends_with(" M=0")) return;
  static const ModeloSql zerados{"SELECT Município FROM tblTOVIR WHERE (Declaração=", Vaga::Valor,
                                 ") AND (Valor=0) AND (CódTOVIR LIKE ", Vaga::Texto, ")"};
  const std::string codigo = Meio(chave, 9, 3);
  auto banco = AbreBancoRegra();
  if (!banco) return;
  std::vector<std::string> nomes;
  for (auto rs = AbreModelo(*banco, zerados, {NumeroDeclaracao(), "'" + codigo + "'"}); !rs->Eof();
       rs->MoveNext())
    nomes.push_back(ComoGravado(rs->Campo("Município")));
  e.figuras.push_back({"municípios com valor zero", Lista(nomes)});
  e.resumo += ": " + Lista(nomes);
}

void ConsisteTovir() {
  bool grupoPendente = true;
  for (const char* c : kCodigos) ConsisteTovirZeros(c, grupoPendente);
  for (const char* c : kCodigos) ConsisteTovirDuplicidade(c, grupoPendente);
  ConsisteTovirEntradas(grupoPendente);
  ConsisteTovir3X(grupoPendente);
  ConsisteTovirSaidas(grupoPendente);
}

void AdicionaGrupoTovir(bool& grupoPendente) {
  if (grupoPendente) {
    AdicionaTexto("TOVIR # TOVIR ");
    grupoPendente = false;
  }
}

Currency SomaTovir(std::initializer_list<const char*> codigos) {
  Currency total{0};
  for (const char* codigo : codigos) total = total + SomaTovir(codigo);
  return total;
}

Currency ValorOuZero(const Variant& v) {
  return v.IsNull() ? Currency{0} : CCur(v);
}

Currency SomaTovir(const std::string& codigo) {
  static const ModeloSql soma{"SELECT SUM(Valor) as Soma FROM tblTOVIR WHERE (Declaração=", Vaga::Valor,
                              ") AND (CódTOVIR LIKE ", Vaga::Texto, ")"};
  if (!HaBanco()) return Currency{0};
  std::string declaracao = NumeroDeclaracao();
  auto rs = AbreModelo(Exige(AbreBancoRegra()), soma, {declaracao, codigo});
  return ValorOuZero(rs->Campo("soma"));
}

bool TovirTemZeros(const std::string& codigo) {
  static const ModeloSql zeros{"SELECT CódTOVIR FROM tblTOVIR WHERE (Declaração=", Vaga::Valor,
                               ") AND (Valor=0) AND (CódTOVIR LIKE ", Vaga::Texto, ")"};
  if (!HaBanco()) return false;
  return TemLinha(zeros, codigo);
}

bool TovirTemDuplicidade(const std::string& codigo) {
  static const ModeloSql duplicidade{
      "SELECT Declaração, CódTOVIR, Município, Count(Código) AS ContarDeCódigo From tblTOVIR GROUP BY "
      "Declaração, "
      "CódTOVIR, Município HAVING (Declaração=",
      Vaga::Valor, ") AND (CódTOVIR LIKE ", Vaga::Texto, ") AND (Count(Código)>1)"};
  if (!HaBanco()) return false;
  const std::string declaracao = NumeroDeclaracao();
  auto rs = AbreModelo(Exige(AbreBancoRegra()), duplicidade, {declaracao, codigo});
  // The municipalities are on the rows the test finds: read here, they are the finding's evidence.
  tMunicipios.clear();
  for (; !rs->Eof(); rs->MoveNext()) tMunicipios.push_back(ComoGravado(rs->Campo("Município")));
  return !tMunicipios.empty();
}

void ConsisteTovirZeros(std::string codigo, bool& grupoPendente) {
  if (!TovirTemZeros(codigo)) return;
  AdicionaGrupoTovir(grupoPendente);
  codigo = Meio(codigo, 2, 3);
  AdicionaTexto("TOVIR # E:TOVIR " + codigo + " M=0 # TOVIR " + codigo + " # 2");
  AdicionaEvidencia("E:TOVIR " + codigo + " M=0", {{"código", codigo}},
                    "TOVIR " + codigo + ": municípios com valor zero");
}

void ConsisteTovirDuplicidade(std::string codigo, bool& grupoPendente) {
  if (!TovirTemDuplicidade(codigo)) return;
  AdicionaGrupoTovir(grupoPendente);
  codigo = Meio(codigo, 2, 3);
  AdicionaTexto("TOVIR # E:TOVIR " + codigo + " Dpl # TOVIR " + codigo + " # 2");
  AdicionaEvidencia("E:TOVIR " + codigo + " Dpl",
                    {{"código", codigo}, {"municípios repetidos", Lista(tMunicipios)}},
                    "TOVIR " + codigo + ": municípios lançados mais de uma vez: " + Lista(tMunicipios));
}

void ConsisteTovirEntradas(bool& grupoPendente) {
  // HAVING without GROUP BY: the adapter filters rows by it, so these are this declaration's own totals.
  static const ModeloSql somaEntradas{
      "SELECT SUM(EntradaInterna) as x1 FROM tblEntradas HAVING (Declaração = ", Vaga::Valor, ")"};
  std::string declaracao = NumeroDeclaracao();
  auto rs = AbreModelo(Exige(AbreBancoRegra()), somaEntradas, {declaracao}, kDynaset);
  if (rs->RecordCount() == 0) return;
  Currency entradas = ValorOuZero(rs->Campo("X1"));
  Currency tovir = SomaTovir({"'1.3'", "'1.1'"});
  if (!Verdade(Maior(Variant::Cur(tovir), Variant::Cur(entradas)))) return;
  AdicionaGrupoTovir(grupoPendente);
  AdicionaTexto("TOVIR # E:TOVIR 1.X Y>X # TOVIR 1.X # " + ImagemPadraoTexto());
  AdicionaEvidencia(
      "E:TOVIR 1.X Y>X",
      {{"total detalhado (1.1 e 1.3)", Decimal(tovir)}, {"entradas internas", Decimal(entradas)}},
      "TOVIR 1.1 e 1.3: " + Reais(tovir) + " detalhados, mais que as entradas internas de " +
          Reais(entradas));
}

void ConsisteTovirSaidas(bool& grupoPendente) {
  static const ModeloSql somaSaidas{
      "SELECT SUM(SaídaInterna) as x1, SUM(SaídaInter) as x2, SUM(SaídaInternaNtrib) as x3, "
      "SUM(SaídaInterNtrib) as "
      "x4 FROM tblSaídas HAVING (Declaração = ",
      Vaga::Valor, ") "};
  if (!HaBanco()) return;
  std::string declaracao = NumeroDeclaracao();
  auto rs = AbreModelo(Exige(AbreBancoRegra()), somaSaidas, {declaracao}, kDynaset);
  if (rs->RecordCount() == 0) return;
  Currency saidas = ValorOuZero(rs->Campo("X1")) + ValorOuZero(rs->Campo("X2")) +
                    ValorOuZero(rs->Campo("x3")) + ValorOuZero(rs->Campo("x4"));
  Currency tovir = SomaTovir({"'2.6'", "'2.5'", "'2.4'", "'2.3'", "'2.2'"});
  if (!Verdade(Maior(Variant::Cur(tovir), Variant::Cur(saidas)))) return;
  AdicionaGrupoTovir(grupoPendente);
  AdicionaTexto("TOVIR # E:TOVIR 2.X # TOVIR 2.X # 2");
  AdicionaEvidencia(
      "E:TOVIR 2.X", {{"total detalhado (2.2 a 2.6)", Decimal(tovir)}, {"saídas", Decimal(saidas)}},
      "TOVIR 2.2 a 2.6: " + Reais(tovir) + " detalhados, mais que as saídas de " + Reais(saidas));
}

std::string MensagemTovir(std::string& codigo) {
  static const std::string kFallback =
      "Ocorrendo compras de produtores agropecuários norvenses não equiparados a comerciantes ou a "
      "industriais, seus "
      "valores deverão, obrigatoriamente, ser informados, por município de origem, nos códigos 1.1 e/ou 1.3 "
      "de "
      "Informações para a TOVIR.\r\n\r\nQuaisquer outras operações com mercadorias ou prestações de serviços "
      "que "
      "devam ser rateadas por município, conforme legislação em vigor, também devem, obrigatoriamente, ser "
      "declaradas em Informações para a TOVIR.\r\n\r\nConsistir a referência sem nada informar na TOVIR, "
      "corresponde a certificar a não existência de valores a declarar.";
  bool longo = Caracteres(codigo) > 8;
  codigo = Esquerda(codigo, longo ? 11 : 7);
  std::string texto;
  const std::string& c = codigo;
  auto eDe = [&](const char* sufixo) {
    for (const char* k : kCodigos)
      if (c == std::string(k + 1, 3) + sufixo) return true;
    return false;
  };
  if (eDe(" M=0"))
    texto = "Há lançamento de zeros para este código TOVIR!";
  else if (eDe(" Dpl"))
    texto = "Há lançamento de municípios em duplicidade para este código TOVIR!";
  else if (c == "1.X Y>X")
    texto =
        "A soma dos valores detalhados por município, nos códigos TOVIR 1.1 e 1.3, \r\nnão deve ultrapassar "
        "a soma "
        "dos valores lançados em Entradas Internas. ";
  else if (c == "2.X")
    texto =
        "A somatória dos valores distribuidos aos municípios na TOVIR não deve \r\nser superior a somatória "
        "dos "
        "valores lançados em Saídas.";
  else if (c == "3.X")
    texto = MensagemTovir3X();
  else
    texto = kFallback;
  if (longo) texto += "\r\n\r\nAlém disso, há lançamento de zeros para este código TOVIR!";
  return texto;
}

}  // namespace kv
