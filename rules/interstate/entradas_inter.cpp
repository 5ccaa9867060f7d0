// Interstate entries against their breakdown by state of origin (detail rows of Tipo 0).
#include "rules/frame/quadro.h"
#include "rules/interstate/interestadual.h"
#include "rules/regras.h"

namespace kv {
namespace {

LinhaInter Linha(Recordset& rs, bool paraLista) {
  Variant base = rs.Campo("BaseCálculo_1");
  LinhaInter l;
  l.valorContabil = rs.Campo("ValorContábil_1");
  l.soma =
      Soma(Soma(Soma(base, rs.Campo("Outras")), rs.Campo("PetróleoEnergia")), rs.Campo("OutrosProdutos"));
  l.imposto = rs.Campo("Imposto");
  if (!(paraLista && base.IsNull())) l.limite = Limite(base);
  return l;
}

std::string TextoSoma(const LinhaInter&) {
  return "O Valor Contábil não é igual a soma dos valores de: \r\nBase de Cálculo, Outras, Petróleo e "
         "Energia, e "
         "Outros Produtos.";
}

const RegraInter kRegra{
    "Entradas Interestaduais",
    "C:",
    0,
    AbreEntradasInter,
    SomaDetalheEntradas,
    [](Recordset& mes) { return mes.Campo("EntradaInter"); },
    Linha,
    TextoSoma,
    "O valor do Imposto deve ser menor ou igual a 25% do valor de Base de Cálculo!",
    "O Valor Contábil lançado em Entradas deve ser obrigatóriamente igual a somatória dos Valores Contábeis "
    "detalhados por estado.",
};

}  // namespace

void ConsisteEntradasInter(Verificacao& v) {
  ConsisteInter(v, kRegra);
}

std::unique_ptr<Recordset> AbreEntradasInter(Verificacao& v) {
  static const ModeloSql meses{"SELECT Ref, EntradaInter FROM tblEntradas WHERE (Declaração = ", Vaga::Valor,
                               ")"};
  return AbreMeses(v, meses);
}

Currency SomaDetalheEntradas(Verificacao& v, const std::string& referencia) {
  static const ModeloSql soma{
      "SELECT DISTINCTROW Sum(ValorContábil_1) AS SomaVC, Sum(BaseCálculo_1) AS SomaBC, Sum(Imposto) AS "
      "SomaIM, "
      "Sum(Outras) AS SomaOU, Sum(PetróleoEnergia) AS SomaPE, Sum(OutrosProdutos) AS SomaOP FROM "
      "tblDetalhesInterUFs",
      HavingDetalhe()};
  return TotalDetalhado(v, soma, referencia, 0, [](Recordset& rs) { return rs.Campo("SomaVC"); });
}

bool DetalheEntradasInconsistente(Verificacao& v, const std::string& referencia) {
  return DetalheInconsistente(v, kRegra, referencia).falha;
}
std::string MensagemEntradasInter(Verificacao& v, const std::string& resto) {
  return MensagemInter(v, kRegra, resto);
}
std::string ListaDetalheEntradas(Verificacao& v, const std::string& referencia) {
  return ListaDetalhe(v, kRegra, referencia);
}

}  // namespace kv
