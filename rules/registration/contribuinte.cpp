// The taxpayer's CNPJ and CNAE must be filled in: a field holding exactly its empty input mask is not.
#include "rules/frame/quadro.h"
#include "rules/regras.h"

namespace kv {
namespace {
const Variant kMascaraCnpj = Variant::Str("__.___.___/____-__");
const Variant kMascaraCnae = Variant::Str("____-_/__");

Achado DoCampo(const char* chave, const char* campo, const Variant& valor) {
  return {.grupo = "Contribuinte",
          .chave = chave,
          .texto = campo,
          .imagem = ImagemPadraoTexto(),
          .figuras = {{std::string(campo) + " gravado", ComoGravado(valor)}},
          .resumo = std::string(campo) + " gravado: " + ComoGravado(valor) + " (a máscara sem número)"};
}
}  // namespace

void ConsisteContribuinte(Verificacao& v) {
  static const ModeloSql cadastro{
      "SELECT CNPJ, CNAE, Declaração FROM tblContribuinte LEFT JOIN tblDeclaração ON tblContribuinte.IE = "
      "tblDeclaração.IE WHERE tblDeclaração.Declaração=",
      Vaga::Valor};
  const std::string& declaracao = v.Declaracao();
  auto banco = v.AbreBanco();
  if (!banco) return;
  auto rs = AbreModelo(*banco, cadastro, {declaracao});
  if (rs->Eof()) return;
  bool cnpj = Verdade(Igual(rs->Campo("CNPJ"), kMascaraCnpj));
  bool cnae = Verdade(Igual(rs->Campo("CNAE"), kMascaraCnae));
  if (!cnpj && !cnae) return;
  v.Grupo("Contribuinte");
  // Each field is read again for its item.
  if (const Variant valor = rs->Campo("CNPJ"); Verdade(Igual(valor, kMascaraCnpj)))
    v.Registra(DoCampo("H:CNPJ", "CNPJ", valor));
  if (const Variant valor = rs->Campo("CNAE"); Verdade(Igual(valor, kMascaraCnae)))
    v.Registra(DoCampo("I:CNAE", "CNAE", valor));
}

std::string MensagemContribuinte(const std::string& letra) {
  return letra == "H" ? "Preencha o CNJP!" : "Preencha o CNAE!";
}

}  // namespace kv
