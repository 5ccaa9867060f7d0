// Double-click: accepts a warning (image 3) or takes the acceptance back (image 2).
#include "control/controle.h"
#include "platform/texto.h"

namespace kv {

bool ControleConsistencia::PodeSerAceita(const std::string& chave) {
  std::string letra = Esquerda(chave, 1);
  if (letra == "B" && Direita(chave, 3) == "Imp") return false;
  if ((letra == "C" || letra == "D") && Direita(chave, 2) == "VC") return false;
  return !(letra == "E" || letra == "M" || letra == "F" || letra == "H" || letra == "I");
}

void ControleConsistencia::ListaDeLocais_DblClick() {
  // Any error ends the handler quietly, with no message and no change.
  try {
    if (travaDuploClique_) return;
    if (!selecionado_) return;
    if (!PodeSerAceita(selecionado_->chave)) return;
    if (selecionado_->imagem == kImagemAberta)
      arvore_.DefineImagem(selecionado_, kImagemAceita);
    else if (selecionado_->imagem == kImagemAceita)
      arvore_.DefineImagem(selecionado_, kImagemAberta);
  } catch (...) {
  }
}

}  // namespace kv
