// The regime enrolment answer (DeAcordo): filled in as 1 before 2001, reported when -1 or empty after.
// The one rule that writes to the declaration database.
#include "rules/frame/quadro.h"
#include "rules/regras.h"

namespace kv {

void ConsisteEnquadramento(Verificacao& v) {
  static const ModeloSql declaracao{"SELECT * FROM tbldeclaração WHERE (Declaração=", Vaga::Valor, ")"};
  const std::string& numero = v.Declaracao();
  auto banco = v.AbreBanco();
  auto rs = AbreModelo(v.Exige(banco), declaracao, {numero}, kDynaset);
  if (rs->RecordCount() == 0) return;
  if (v.Exercicio() < 2001) {
    const std::string onde = " na declaração " + numero;
    // A database opened only for reading (an auditor's copy) is reported, not written.
    if (banco->SomenteLeitura()) {
      v.Grava("DeAcordo = 1 não gravado" + onde + ": o banco foi aberto somente para leitura");
      return;
    }
    rs->Edit();
    rs->DefineCampo("DeAcordo", Variant::Int(1));
    rs->Update();
    v.Grava("DeAcordo = 1 gravado" + onde + " (exercício anterior a 2001)");
    return;
  }
  if (Verdade(Diferente(rs->Campo("DeAcordo"), Variant::Int(-1)))) return;
  v.Grupo("Enquadramento");
  const std::string resposta = TextoDe(rs->Campo("DeAcordo"));  // read again for the item
  v.Registra({.grupo = "Enquadramento",
              .chave = "F:" + resposta,
              .texto = "Enquadramento Ignorado",
              .imagem = "2",
              .figuras = {{"resposta gravada (DeAcordo)", resposta}},
              .resumo = "resposta gravada ao enquadramento: " + resposta + " (ignorado)"});
}

std::string MensagemEnquadramento() {
  return "Na Declaração de Enquadramento não há opção selecionada.";
}

}  // namespace kv
