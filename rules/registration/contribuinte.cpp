// The taxpayer's CNPJ and CNAE must be filled in: a field holding exactly its empty input mask is not.
#include "rules/frame/quadro.h"
#include "rules/regras.h"

namespace kv {
namespace {
const Variant kMascaraCnpj = Variant::Str("__.___.___/____-__");
const Variant kMascaraCnae = Variant::Str("____-_/__");
}  // namespace

void ConsisteContribuinte() {
  static const ModeloSql cadastro{
      "SELECT CNPJ, CNAE, Declaração FROM tblContribuinte LEFT JOIN tblDeclaração ON tblContribuinte.IE = "
      "tblDeclaração.IE WHERE tblDeclaração.Declaração=",
      Vaga::Valor};
  std::string declaracao = NumeroDeclaracao();
  auto banco = AbreBancoRegra();
  if (!banco) return;
  auto rs = AbreModelo(*banco, cadastro, {declaracao});
  if (rs->Eof()) return;
  bool cnpj = Verdade(Igual(rs->Campo("CNPJ"), kMascaraCnpj));
  bool cnae = Verdade(Igual(rs->Campo("CNAE"), kMascaraCnae));
  if (!cnpj && !cnae) return;
  AdicionaTexto("Contribuinte # Contribuinte ");
  if (Verdade(Igual(rs->Campo("CNPJ"), kMascaraCnpj))) {
    AdicionaTexto("Contribuinte # H:CNPJ # CNPJ # " + ImagemPadraoTexto());
    AdicionaEvidencia("H:CNPJ", {{"CNPJ gravado", ComoGravado(rs->Campo("CNPJ"))}},
                      "CNPJ gravado: " + ComoGravado(rs->Campo("CNPJ")) + " (a máscara sem número)");
  }
  if (Verdade(Igual(rs->Campo("CNAE"), kMascaraCnae))) {
    AdicionaTexto("Contribuinte # I:CNAE # CNAE # " + ImagemPadraoTexto());
    AdicionaEvidencia("I:CNAE", {{"CNAE gravado", ComoGravado(rs->Campo("CNAE"))}},
                      "CNAE gravado: " + ComoGravado(rs->Campo("CNAE")) + " (a máscara sem número)");
  }
}

std::string MensagemContribuinte(const std::string& letra) {
  return letra == "H" ? "Preencha o CNJP!" : "Preencha o CNAE!";
}

}  // namespace kv
