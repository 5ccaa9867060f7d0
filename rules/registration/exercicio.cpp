// A fiscal year must not be declared without any monthly record.
#include "rules/frame/quadro.h"
#include "rules/regras.h"

namespace kv {

void ConsisteExercicio(Verificacao& v) {
  static const ModeloSql entradas{"SELECT * FROM tblEntradas WHERE (Declaração = ", Vaga::Valor, ")"};
  const std::string& declaracao = v.Declaracao();
  auto banco = v.AbreBanco();
  if (!banco) return;
  auto rs = AbreModelo(*banco, entradas, {declaracao});
  if (rs->RecordCount() != 0) return;
  v.Registra({.grupo = "Exercício",
              .chave = "M:ExercícioZER",
              .texto = "Exercício",
              .imagem = ImagemPadraoTexto(),
              .figuras = {{"falta", "linhas de entradas mensais (tblEntradas) da declaração"}},
              .resumo = "a declaração não tem nenhuma linha de entradas mensais"});
}

std::string MensagemExercicio() {
  return "Não deve haver exercício sem Regime Tributário.";
}

}  // namespace kv
