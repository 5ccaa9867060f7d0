// Monthly entries: the tax on interstate acquisitions against the month's interstate entries.
#include "platform/texto.h"
#include "rules/monthly/mensal.h"
#include "rules/regras.h"

namespace kv {

void ConsisteEntradas(Verificacao& v) {
  static const RegraMensal kRegra{"tblEntradas",
                                  "Entradas",
                                  "A:Entradas",
                                  "ImpAquisição",
                                  [](Recordset& rs) { return rs.Campo("EntradaInter"); },
                                  "entradas interestaduais"};
  ConsisteMensal(v, kRegra);
}

std::string MensagemEntradas(const std::string& chave) {
  std::string codigo = Direita(chave, 3);
  if (codigo == "Imp")
    return "Foi informado zero como Valor do Imposto pelas Aquisições Interestaduais.\r\n\r\n" +
           kConviteDuploClique;
  if (codigo == "25%")
    return "O Valor do Imposto pelas Aquisições Interestaduais pode estar inconsistente com o montante das "
           "Entradas Interestaduais!\r\n\r\n" +
           kConviteDuploClique;
  return "";
}

std::string NomeDoMes(uint8_t referencia) {
  static const char* const kMeses[] = {"Janeiro", "Fevereiro", "Março",    "Abril",   "Maio",     "Junho",
                                       "Julho",   "Agosto",    "Setembro", "Outubro", "Novembro", "Dezembro"};
  return referencia >= 1 && referencia <= 12 ? kMeses[referencia - 1] : "";
}

}  // namespace kv
