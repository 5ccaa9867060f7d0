#include "rules/monthly/mensal.h"

#include "platform/texto.h"
#include "rules/frame/quadro.h"
#include "rules/regras.h"

namespace kv {

namespace {

// The month, the base, the tax and, for "25%", the limit and the share the tax is of the base.
void RegistraEvidencia(const RegraMensal& regra, const std::string& chave, const std::string& mes,
                       const Variant& base, Currency imposto, bool zero) {
  std::vector<Figura> f = {{"mês", mes}, {regra.nomeBase, Decimal(base)}, {"imposto", Decimal(imposto)}};
  const std::string m = Minusculas(mes);
  if (zero)
    return AdicionaEvidencia(chave, f, m + ": imposto zero sobre " + regra.nomeBase + " de " + Reais(base));
  const Variant limite = Produto(base, 0.25);
  f.push_back({"limite (25% da base)", Decimal(limite)});
  f.push_back({"parcela do imposto na base", Parcela(Variant::Cur(imposto), base)});
  AdicionaEvidencia(chave, f,
                    m + ": imposto " + Reais(imposto) + " sobre " + regra.nomeBase + " de " + Reais(base) +
                        "; limite " + Reais(limite) + " (25%)");
}

}  // namespace

void ConsisteMensal(const RegraMensal& regra) {
  static const ModeloSql linhas{"SELECT * FROM ", Vaga::Texto, " WHERE (Declaração = ", Vaga::Valor, ")"};
  std::string declaracao = NumeroDeclaracao();
  auto banco = AbreBancoRegra();
  if (!banco) return;
  auto rs = AbreModelo(*banco, linhas, {regra.tabela, declaracao});
  if (!(rs->RecordCount() > 0)) {
    rs->Close();
    return;
  }
  bool grupoPendente = true;
  const Variant zero = Variant::Int(0);
  while (!rs->Eof()) {
    Variant base = regra.base(*rs);
    Variant quarto = Produto(base, 0.25);
    Variant imposto = rs->Campo(regra.campoImposto);
    Currency valorImposto = CCur(imposto);
    const char* codigo = nullptr;
    if (Verdade(E(Maior(base, zero), Igual(imposto, zero))))
      codigo = "Imp # ";
    else if (Verdade(Maior(Variant::Cur(valorImposto), quarto)))
      codigo = "25% # ";
    if (codigo) {
      if (grupoPendente) {
        AdicionaTexto(std::string(regra.grupo) + " # " + regra.grupo + " ");
        grupoPendente = false;
      }
      Variant ref = rs->Campo("Ref");
      std::string mes = NomeDoMes(CByte(ref));
      AdicionaTexto(std::string(regra.grupo) + " # " + regra.prefixoChave + TextoDe(ref) + codigo + mes +
                    " # " + ImagemPadraoTexto());
      RegistraEvidencia(regra, std::string(regra.prefixoChave) + TextoDe(ref) + std::string(codigo, 3), mes,
                        base, valorImposto, codigo[0] == 'I');
    }
    rs->MoveNext();
  }
  rs->Close();
}

}  // namespace kv
