// Municipal apportionment (TOVIR): zero amounts and repeated municipalities per code, and the code
// totals against the declaration's internal entries (1.X) and all its exits (2.X).
#include "platform/texto.h"
#include "rules/frame/quadro.h"
#include "rules/regras.h"

namespace kv {
namespace {

const char* const kCodigos[] = {"'1.1'", "'1.3'", "'2.2'", "'2.3'", "'2.4'", "'2.5'", "'2.6'"};

// Whether the TOVIR query `modelo` returns a row for the declaration and the code.
bool TemLinha(Verificacao& v, const ModeloSql& modelo, const std::string& codigo) {
  const std::string& declaracao = v.Declaracao();
  return !AbreModelo(v.Exige(v.AbreBanco()), modelo, {declaracao, codigo})->Eof();
}

std::string Lista(const std::vector<std::string>& nomes) {
  std::string r;
  for (const std::string& n : nomes) r += (r.empty() ? "" : "; ") + n;
  return r;
}

// The municipalities with zero amounts, which the test's own statement does not select: read after the
// check, for the item explained.
void CompletaZeros(Verificacao& v, Achado& a) {
  static const ModeloSql zerados{"SELECT Município FROM tblTOVIR WHERE (Declaração=", Vaga::Valor,
                                 ") AND (Valor=0) AND (CódTOVIR LIKE ", Vaga::Texto, ")"};
  auto banco = v.AbreBanco();
  if (!banco) return;
  std::vector<std::string> nomes;
  const std::string codigo = "'" + a.figuras.at(0).valor + "'";
  for (auto rs = AbreModelo(*banco, zerados, {v.Declaracao(), codigo}); !rs->Eof(); rs->MoveNext())
    nomes.push_back(ComoGravado(rs->Campo("Município")));
  a.figuras.push_back({"municípios com valor zero", Lista(nomes)});
  a.resumo += ": " + Lista(nomes);
}

// An item of the group: "E:TOVIR <node code>", whose text is "TOVIR <text code>".
Achado DaTovir(const std::string& codigo, const std::string& sufixo, const std::string& imagem,
               std::vector<Figura> figuras, std::string resumo) {
  return {.grupo = "TOVIR",
          .chave = "E:TOVIR " + codigo + sufixo,
          .texto = "TOVIR " + codigo,
          .imagem = imagem,
          .figuras = std::move(figuras),
          .resumo = std::move(resumo)};
}

void ConsisteTovirZeros(Verificacao& v, const char* codigo) {
  if (!TovirTemZeros(v, codigo)) return;
  const std::string c = Meio(codigo, 2, 3);  // the code without its apostrophes
  Achado a = DaTovir(c, " M=0", "2", {{"código", c}}, "TOVIR " + c + ": municípios com valor zero");
  a.completa = CompletaZeros;
  v.Registra(std::move(a));
}

void ConsisteTovirDuplicidade(Verificacao& v, const char* codigo) {
  const std::vector<std::string> municipios = TovirDuplicidades(v, codigo);
  if (municipios.empty()) return;
  const std::string c = Meio(codigo, 2, 3);
  v.Registra(DaTovir(c, " Dpl", "2", {{"código", c}, {"municípios repetidos", Lista(municipios)}},
                     "TOVIR " + c + ": municípios lançados mais de uma vez: " + Lista(municipios)));
}

void ConsisteTovirEntradas(Verificacao& v) {
  // HAVING without GROUP BY: the adapter filters rows by it, so these are this declaration's own totals.
  static const ModeloSql somaEntradas{
      "SELECT SUM(EntradaInterna) as x1 FROM tblEntradas HAVING (Declaração = ", Vaga::Valor, ")"};
  const std::string& declaracao = v.Declaracao();
  auto rs = AbreModelo(v.Exige(v.AbreBanco()), somaEntradas, {declaracao}, kDynaset);
  if (rs->RecordCount() == 0) return;
  Currency entradas = ValorOuZero(rs->Campo("X1"));
  Currency tovir = SomaTovir(v, {"'1.3'", "'1.1'"});
  if (!Verdade(Maior(Variant::Cur(tovir), Variant::Cur(entradas)))) return;
  v.Registra({.grupo = "TOVIR",
              .chave = "E:TOVIR 1.X Y>X",
              .texto = "TOVIR 1.X",
              .imagem = ImagemPadraoTexto(),
              .figuras = {{"total detalhado (1.1 e 1.3)", Decimal(tovir), kValor},
                          {"entradas internas", Decimal(entradas), kValor}},
              .resumo = "TOVIR 1.1 e 1.3: " + Reais(tovir) +
                        " detalhados, mais que as entradas internas de " + Reais(entradas)});
}

void ConsisteTovirSaidas(Verificacao& v) {
  static const ModeloSql somaSaidas{
      "SELECT SUM(SaídaInterna) as x1, SUM(SaídaInter) as x2, SUM(SaídaInternaNtrib) as x3, "
      "SUM(SaídaInterNtrib) as "
      "x4 FROM tblSaídas HAVING (Declaração = ",
      Vaga::Valor, ") "};
  if (!v.HaBanco()) return;
  const std::string& declaracao = v.Declaracao();
  auto rs = AbreModelo(v.Exige(v.AbreBanco()), somaSaidas, {declaracao}, kDynaset);
  if (rs->RecordCount() == 0) return;
  Currency saidas = ValorOuZero(rs->Campo("X1")) + ValorOuZero(rs->Campo("X2")) +
                    ValorOuZero(rs->Campo("x3")) + ValorOuZero(rs->Campo("x4"));
  Currency tovir = SomaTovir(v, {"'2.6'", "'2.5'", "'2.4'", "'2.3'", "'2.2'"});
  if (!Verdade(Maior(Variant::Cur(tovir), Variant::Cur(saidas)))) return;
  v.Registra(
      DaTovir("2.X", "", "2",
              {{"total detalhado (2.2 a 2.6)", Decimal(tovir), kValor}, {"saídas", Decimal(saidas), kValor}},
              "TOVIR 2.2 a 2.6: " + Reais(tovir) + " detalhados, mais que as saídas de " + Reais(saidas)));
}

}  // namespace

void ConsisteTovir(Verificacao& v) {
  for (const char* c : kCodigos) ConsisteTovirZeros(v, c);
  for (const char* c : kCodigos) ConsisteTovirDuplicidade(v, c);
  ConsisteTovirEntradas(v);
  ConsisteTovir3X(v);
  ConsisteTovirSaidas(v);
}

Currency SomaTovir(Verificacao& v, std::initializer_list<const char*> codigos) {
  Currency total{0};
  for (const char* codigo : codigos) total = total + SomaTovir(v, codigo);
  return total;
}

Currency ValorOuZero(const Variant& v) {
  return v.IsNull() ? Currency{0} : CCur(v);
}

Currency SomaTovir(Verificacao& v, const std::string& codigo) {
  static const ModeloSql soma{"SELECT SUM(Valor) as Soma FROM tblTOVIR WHERE (Declaração=", Vaga::Valor,
                              ") AND (CódTOVIR LIKE ", Vaga::Texto, ")"};
  if (!v.HaBanco()) return Currency{0};  // the held-object test: only while the last opening gave one
  const std::string& declaracao = v.Declaracao();
  auto rs = AbreModelo(v.Exige(v.AbreBanco()), soma, {declaracao, codigo});
  return ValorOuZero(rs->Campo("soma"));
}

bool TovirTemZeros(Verificacao& v, const std::string& codigo) {
  static const ModeloSql zeros{"SELECT CódTOVIR FROM tblTOVIR WHERE (Declaração=", Vaga::Valor,
                               ") AND (Valor=0) AND (CódTOVIR LIKE ", Vaga::Texto, ")"};
  if (!v.HaBanco()) return false;
  return TemLinha(v, zeros, codigo);
}

std::vector<std::string> TovirDuplicidades(Verificacao& v, const std::string& codigo) {
  static const ModeloSql duplicidade{
      "SELECT Declaração, CódTOVIR, Município, Count(Código) AS ContarDeCódigo From tblTOVIR GROUP BY "
      "Declaração, "
      "CódTOVIR, Município HAVING (Declaração=",
      Vaga::Valor, ") AND (CódTOVIR LIKE ", Vaga::Texto, ") AND (Count(Código)>1)"};
  if (!v.HaBanco()) return {};
  const std::string& declaracao = v.Declaracao();
  auto rs = AbreModelo(v.Exige(v.AbreBanco()), duplicidade, {declaracao, codigo});
  // The municipalities are on the rows the test finds: read here, they are the finding's figures.
  std::vector<std::string> municipios;
  for (; !rs->Eof(); rs->MoveNext()) municipios.push_back(ComoGravado(rs->Campo("Município")));
  return municipios;
}

std::string MensagemTovir(Verificacao& v, std::string& codigo) {
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
    texto = MensagemTovir3X(v);
  else
    texto = kFallback;
  if (longo) texto += "\r\n\r\nAlém disso, há lançamento de zeros para este código TOVIR!";
  return texto;
}

}  // namespace kv
