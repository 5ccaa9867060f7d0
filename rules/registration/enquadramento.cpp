// The regime enrolment answer (DeAcordo): filled in as 1 before 2001, reported when -1 or empty after.
// The one rule that writes to the declaration database.
#include "rules/frame/quadro.h"
#include "rules/regras.h"

namespace kv {

void ConsisteEnquadramento() {
  static const ModeloSql declaracao{"SELECT * FROM tbldeclaração WHERE (Declaração=", Vaga::Valor, ")"};
  std::string numero = NumeroDeclaracao();
  auto banco = AbreBancoRegra();
  auto rs = AbreModelo(Exige(banco), declaracao, {numero}, kDynaset);
  if (rs->RecordCount() == 0) return;
  int16_t ano = ExercicioAtual();
  if (ano < 2001) {
    const std::string onde = " na declaração " + NumeroDeclaracao();
    // A database opened only for reading (an auditor's copy) is reported, not written.
    if (banco->SomenteLeitura()) {
      Estado().gravacoes.push_back("DeAcordo = 1 não gravado" + onde +
                                   ": o banco foi aberto somente para leitura");
      return;
    }
    rs->Edit();
    rs->DefineCampo("DeAcordo", Variant::Int(1));
    rs->Update();
    Estado().gravacoes.push_back("DeAcordo = 1 gravado" + onde + " (exercício anterior a 2001)");
    return;
  }
  if (Verdade(Diferente(rs->Campo("DeAcordo"), Variant::Int(-1)))) return;
  AdicionaTexto("Enquadramento # Enquadramento ");
  AdicionaTexto("Enquadramento # F:" + TextoDe(rs->Campo("DeAcordo")) + " # Enquadramento Ignorado # " + "2");
  AdicionaEvidencia("F:" + TextoDe(rs->Campo("DeAcordo")),
                    {{"resposta gravada (DeAcordo)", TextoDe(rs->Campo("DeAcordo"))}},
                    "resposta gravada ao enquadramento: " + TextoDe(rs->Campo("DeAcordo")) + " (ignorado)");
}

std::string MensagemEnquadramento() {
  return "Na Declaração de Enquadramento não há opção selecionada.";
}

}  // namespace kv
