#include "rules/monthly/mensal.h"

#include "rules/frame/quadro.h"
#include "rules/regras.h"

namespace kv {

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
    }
    rs->MoveNext();
  }
  rs->Close();
}

}  // namespace kv
