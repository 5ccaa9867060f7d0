// TOVIR codes 3.7 and 3.8: amounts there are reported for the user to confirm (and accept).
#include "platform/formato.h"
#include "rules/frame/quadro.h"
#include "rules/regras.h"

namespace kv {

void ConsisteTovir3X(Verificacao& v) {
  const Currency b = SomaTovir(v, "'3.8'"), a = SomaTovir(v, "'3.7'");
  Currency total = b + a;
  if (total.dezmilesimos == 0) return;
  v.Registra({.grupo = "TOVIR",
              .chave = "J:TOVIR 3.X",
              .texto = "TOVIR 3.X",
              .imagem = "2",
              .figuras = {{"3.7", Decimal(a), kValor}, {"3.8", Decimal(b), kValor}},
              .resumo = "TOVIR 3.7: " + Reais(a) + "; 3.8: " + Reais(b)});
}

// Both amounts are read again now, so the text shows the rows as they are when the node is selected.
std::string MensagemTovir3X(Verificacao& v) {
  Currency a = SomaTovir(v, "'3.7'");
  Currency b = SomaTovir(v, "'3.8'");
  return "Foram lançados valores nos seguintes códigos da Tovir abaixo: \r\n\r\n 3.7 -- R$ " +
         FormataValor(a) + "\r\n 3.8 -- R$ " + FormataValor(b) +
         "\r\n\r\nCaso estes valores acima estejam corretos dê duplo clique.";
}

}  // namespace kv
