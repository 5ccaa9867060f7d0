// A fiscal year must not be declared without any monthly record.
#include "rules/frame/quadro.h"
#include "rules/regras.h"

namespace kv {

void ConsisteExercicio() {
  static const ModeloSql entradas{"SELECT * FROM tblEntradas WHERE (Declaração = ", Vaga::Valor, ")"};
  std::string declaracao = NumeroDeclaracao();
  auto banco = AbreBancoRegra();
  if (!banco) return;
  auto rs = AbreModelo(*banco, entradas, {declaracao});
  if (rs->RecordCount() != 0) return;
  AdicionaTexto("Exercício # Exercício ");
  AdicionaTexto("Exercício # M:ExercícioZER # Exercício # " + ImagemPadraoTexto());
  AdicionaEvidencia("M:ExercícioZER", {{"falta", "linhas de entradas mensais (tblEntradas) da declaração"}},
                    "a declaração não tem nenhuma linha de entradas mensais");
}

std::string MensagemExercicio() {
  return "Não deve haver exercício sem Regime Tributário.";
}

}  // namespace kv
