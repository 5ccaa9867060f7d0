#include "rules/monthly/mensal.h"

#include "platform/texto.h"
#include "rules/frame/quadro.h"
#include "rules/regras.h"

namespace kv {

namespace {

// The finding of one month: the month, the base, the tax and, for "25%", the limit and the share the tax
// is of the base.
Achado DoMes(const RegraMensal& regra, const std::string& ref, const char* codigo, const std::string& mes,
             const Variant& base, Currency imposto) {
  Achado a{.grupo = regra.grupo,
           .chave = regra.prefixoChave + ref + codigo,
           .texto = mes,
           .imagem = ImagemPadraoTexto(),
           .figuras = {
               {"mês", mes}, {regra.nomeBase, Decimal(base), kValor}, {"imposto", Decimal(imposto), kValor}}};
  const std::string m = Minusculas(mes);
  if (std::string_view(codigo) == "Imp") {
    a.resumo = m + ": imposto zero sobre " + regra.nomeBase + " de " + Reais(base);
    return a;
  }
  const Variant limite = Produto(base, 0.25);
  a.figuras.push_back({"limite (25% da base)", Decimal(limite), kValor});
  a.figuras.push_back({"parcela do imposto na base", Parcela(Variant::Cur(imposto), base), kParcela});
  a.resumo = m + ": imposto " + Reais(imposto) + " sobre " + regra.nomeBase + " de " + Reais(base) +
             "; limite " + Reais(limite) + " (25%)";
  return a;
}

}  // namespace

void ConsisteMensal(Verificacao& v, const RegraMensal& regra) {
  static const ModeloSql linhas{"SELECT * FROM ", Vaga::Texto, " WHERE (Declaração = ", Vaga::Valor, ")"};
  const std::string& declaracao = v.Declaracao();
  auto banco = v.AbreBanco();
  if (!banco) return;
  auto rs = AbreModelo(*banco, linhas, {regra.tabela, declaracao});
  if (!(rs->RecordCount() > 0)) {
    rs->Close();
    return;
  }
  const Variant zero = Variant::Int(0);
  while (!rs->Eof()) {
    Variant base = regra.base(*rs);
    Variant quarto = Produto(base, 0.25);
    Variant imposto = rs->Campo(regra.campoImposto);
    Currency valorImposto = CCur(imposto);
    const char* codigo = nullptr;
    if (Verdade(E(Maior(base, zero), Igual(imposto, zero))))
      codigo = "Imp";
    else if (Verdade(Maior(Variant::Cur(valorImposto), quarto)))
      codigo = "25%";
    if (codigo) {
      v.Grupo(regra.grupo);
      Variant ref = rs->Campo("Ref");
      std::string mes = NomeDoMes(CByte(ref));
      v.Registra(DoMes(regra, TextoDe(ref), codigo, mes, base, valorImposto));
    }
    rs->MoveNext();
  }
  rs->Close();
}

}  // namespace kv
