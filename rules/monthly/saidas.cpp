// Monthly exits: the tax due against the month's taxed exits, internal and interstate.
#include "platform/texto.h"
#include "rules/monthly/mensal.h"
#include "rules/regras.h"

namespace kv {

void ConsisteSaidas(Verificacao& v) {
  static const RegraMensal kRegra{
      "tblSaídas",
      "Saídas",
      "B:Saídas",
      "ImpDevido",
      [](Recordset& rs) { return Soma(rs.Campo("SaídaInterna"), rs.Campo("SaídaInter")); },
      "saídas tributadas (internas e interestaduais)"};
  ConsisteMensal(v, kRegra);
}

std::string MensagemSaidas(const std::string& chave) {
  std::string codigo = Direita(chave, 3);
  if (codigo == "Imp")
    return "Havendo Saídas Tributadas (Internas e/ou Interestaduais), deve haver Valor do Imposto Devido "
           "diferente "
           "de zero.";
  if (codigo == "25%")
    return "O Valor do Imposto Devido informado pode estar inconsistente com o montante das Saídas "
           "Tributadas "
           "(Internas e Interestaduais)!\r\n\r\n" +
           kConviteDuploClique;
  return "";
}

}  // namespace kv
