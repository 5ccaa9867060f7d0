// Node selection: the builder of the node's group explains it in the message panel; and the help labels.
#include "control/controle.h"
#include "platform/erro.h"
#include "platform/texto.h"
#include "rules/frame/estado.h"
#include "rules/regras.h"

namespace kv {

std::string ControleConsistencia::MensagemDoNo(const std::string& chave) {
  const RegraDoGrupo* regra = RegraDaChave(chave);
  if (!regra) return "";
  Verificacao v(Estado());
  return regra->mensagem(v, chave);
}

namespace {

// The figures under the rule's message, set apart: each once, on its line, amounts and shares as the
// user reads them.
std::string ComValores(const Achado& a) {
  if (a.figuras.empty()) return "";
  std::string r = "\r\n\r\n———  Valores comparados  ———\r\n";
  for (const Figura& f : a.figuras) r += "\r\n" + f.rotulo + ": " + ParaPessoas(f);
  return r;
}

}  // namespace

Achado ControleConsistencia::AchadoDoNo(const std::string& chave) {
  const Achado* gravado = ObtemInconsistencias().AchadoDe(chave);
  Achado a = gravado ? *gravado : Achado{};
  if (a.completa) {
    try {
      Verificacao v(Estado());
      a.completa(v, a);
    } catch (const Erro&) {
      a = *gravado;  // the figures the check kept still stand
    }
  }
  return a;
}

void ControleConsistencia::ListaDeLocais_NodeClick(const NoRef& no) {
  selecionado_ = no;
  mensagem_->Define("");
  if (!no) ErroObjeto();
  std::string texto = MensagemDoNo(no->chave);
  if (mostraValores_) texto += ComValores(AchadoDoNo(no->chave));
  if (!texto.empty()) mensagem_->Define(texto);
}

void ControleConsistencia::CarregaLabel() {
  label1_->Define(
      "Na Transmissão, bem como a geração de Declarações Substitutivas, somente poderão ser efetuadas quando "
      "todas "
      "as inconsistências, apresentadas na Lista de Inconsistências ao lado, forem eliminadas.\r\n\r\nA "
      "Lista de "
      "Inconsistências vazia indica que o sistema não identificou quaisquer inconsistências na Declaração do "
      "Tarvo.");
  label2_->Define(
      "Na maioria dos casos, as inconsistências assinaladas na lista são inconsistências de fato. No "
      "entanto, há "
      "casos em que os lançamentos devem ser mantidos devido a existência de exceções. Nesses casos, para "
      "que seja "
      "possível a Transmissão, bem como ageração de Declarações Substitutivas, dê duplo-cliquena indicação "
      "de "
      "inconsistência que deseja desmarcar.");
}

}  // namespace kv
