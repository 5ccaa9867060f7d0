// Interstate exits, to taxpayers (_1) and non-taxpayers (_2), against their breakdown by state (Tipo 1).
#include "platform/formato.h"
#include "rules/frame/quadro.h"
#include "rules/interstate/interestadual.h"
#include "rules/regras.h"

namespace kv {
namespace {

LinhaInter Linha(Recordset& rs, bool paraLista) {
  Variant base1 = rs.Campo("BaseCálculo_1"), base2 = rs.Campo("BaseCálculo_2");
  LinhaInter l;
  l.valorContabil = Soma(rs.Campo("ValorContábil_1"), rs.Campo("ValorContábil_2"));
  l.soma = Soma(Soma(Soma(base1, base2), rs.Campo("Outras")), rs.Campo("ICMSCobradoST"));
  l.imposto = rs.Campo("Imposto");
  if (!(paraLista && (base1.IsNull() || base2.IsNull()))) l.limite = Limite(Soma(base1, base2));
  return l;
}

std::string TextoSoma(const LinhaInter& l) {
  return "O Valor Contábil(Contribuite) + Valor Contábil (Não Contribuinte) (R$" +
         FormataValor(CCur(l.valorContabil)) +
         ") não é igual a soma dos valores de Base de Cálculo Contribuinte), Base de Cálculo (Não "
         "Contribuinte), "
         "Outras, e Imposto Cobrado por ST (R$" +
         FormataValor(CCur(l.soma)) + ")!";
}

const RegraInter kRegra{
    "Saídas Interestaduais",
    "D:",
    1,
    AbreSaidasInter,
    SomaDetalheSaidas,
    [](Recordset& mes) { return Soma(mes.Campo("SaídaInter"), mes.Campo("SaídaInterNtrib")); },
    Linha,
    TextoSoma,
    "O valor do Imposto deve ser menor ou igual a 25% da soma dos campos: Base de Cálculo (Contribuite) e "
    "Base de "
    "Cálculo (Não Contribuinte)!",
    "O Valor Contábil lançado em Saídas deve ser obrigatóriamente igual a somatória do Valor "
    "Contábil(Contribuite) "
    "+ Valor Contábil (Não Contribuinte) detalhados por estado.",
};

}  // namespace

void ConsisteSaidasInter(Verificacao& v) {
  ConsisteInter(v, kRegra);
}

std::unique_ptr<Recordset> AbreSaidasInter(Verificacao& v) {
  static const ModeloSql meses{
      "SELECT Ref, SaídaInter, SaídaInterNtrib FROM tblSaídas WHERE (Declaração = ", Vaga::Valor, ")"};
  return AbreMeses(v, meses);
}

Currency SomaDetalheSaidas(Verificacao& v, const std::string& referencia) {
  static const ModeloSql soma{
      "SELECT DISTINCTROW Sum(ValorContábil_1) AS SomaVC1, Sum(BaseCálculo_1) AS SomaBC1, "
      "Sum(ValorContábil_2) AS "
      "SomaVC2, Sum(BaseCálculo_2) AS SomaBC2, Sum(Imposto) AS SomaIM, Sum(Outras) AS SomaOU, "
      "Sum(ICMSCobradoST) "
      "AS SomaST FROM tblDetalhesInterUFs",
      HavingDetalhe()};
  return TotalDetalhado(v, soma, referencia, 1,
                        [](Recordset& rs) { return Soma(rs.Campo("SomaVC1"), rs.Campo("SomaVC2")); });
}

bool DetalheSaidasInconsistente(Verificacao& v, const std::string& referencia) {
  return DetalheInconsistente(v, kRegra, referencia).falha;
}
std::string MensagemSaidasInter(Verificacao& v, const std::string& resto) {
  return MensagemInter(v, kRegra, resto);
}
std::string ListaDetalheSaidas(Verificacao& v, const std::string& referencia) {
  return ListaDetalhe(v, kRegra, referencia);
}

}  // namespace kv
