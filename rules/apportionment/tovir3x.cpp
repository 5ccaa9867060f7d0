// TOVIR codes 3.7 and 3.8: amounts there are reported for the user to confirm (and accept).
#include "platform/formato.h"
#include "rules/frame/quadro.h"
#include "rules/regras.h"

namespace kv {

void ConsisteTovir3X(bool& grupoPendente) {
  const Currency b = SomaTovir("'3.8'"), a = SomaTovir("'3.7'");
  Currency total = b + a;
  if (total.dezmilesimos == 0) return;
  AdicionaGrupoTovir(grupoPendente);
  AdicionaTexto("TOVIR # J:TOVIR 3.X # TOVIR 3.X # 2");
  AdicionaEvidencia("J:TOVIR 3.X", {{"3.7", Decimal(a)}, {"3.8", Decimal(b)}},
                    "TOVIR 3.7: " + Reais(a) + "; 3.8: " + Reais(b));
}

// Both amounts are read again now, so the text shows the rows as they are when the node is selected.
std::string MensagemTovir3X() {
  Currency a = SomaTovir("'3.7'");
  Currency b = SomaTovir("'3.8'");
  return "Foram lançados valores nos seguintes códigos da Tovir abaixo: \r\n\r\n 3.7 -- R$ " +
         FormataValor(a) + "\r\n 3.8 -- R$ " + FormataValor(b) +
         "\r\n\r\nCaso estes valores acima estejam corretos dê duplo clique.";
}

}  // namespace kv
