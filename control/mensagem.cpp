// Node selection: the builder of the node's group explains it in the message panel; and the help labels.
#include "control/controle.h"
#include "platform/texto.h"
#include "rules/regras.h"

namespace kv {

std::string ControleConsistencia::MensagemDoNo(const std::string& chave) {
  const RegraDoGrupo* regra = RegraDaChave(chave);
  return regra ? regra->mensagem(chave) : "";
}

namespace {

// The figures under the rule's message, set apart: the sentence, then each figure on its line.
std::string ComValores(const Evidencia& e) {
  if (e.figuras.empty() && e.resumo.empty()) return "";
  std::string r = "\r\n\r\n———  Valores comparados  ———\r\n" + e.resumo + "\r\n";
  for (const Figura& f : e.figuras) r += "\r\n" + f.rotulo + ": " + f.valor;
  return r;
}

}  // namespace

Evidencia ControleConsistencia::EvidenciaDoNo(const std::string& chave) {
  const Evidencia* gravada = ObtemInconsistencias().EvidenciaDe(chave);
  Evidencia e = gravada ? *gravada : Evidencia{};
  const RegraDoGrupo* regra = RegraDaChave(chave);
  if (regra && regra->completa) {
    try {
      regra->completa(chave, e);
    } catch (const Erro&) {
      // the figures the check kept still stand
    }
  }
  return e;
}

void ControleConsistencia::ListaDeLocais_NodeClick(const NoRef& no) {
  selecionado_ = no;
  mensagem_->Define("");
  if (!no) ErroObjeto();
  std::string texto = MensagemDoNo(no->chave);
  if (mostraValores_) texto += ComValores(EvidenciaDoNo(no->chave));
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
