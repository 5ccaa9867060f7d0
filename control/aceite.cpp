// Double-click: accepts a warning (image 3) or takes the acceptance back (image 2).
#include "control/controle.h"
#include "rules/frame/verificacao.h"

namespace kv {

bool ControleConsistencia::PodeSerAceita(const std::string& chave) {
  return ClassificaChave(chave).aceitavel;
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

ControleConsistencia::Aceite ControleConsistencia::Aceita(const std::string& chave) {
  NoRef no = arvore_.Busca(chave);
  if (!no || no->pai.empty()) return Aceite::NaoHaItem;
  if (no->imagem != kImagemAceita) {
    selecionado_ = no;
    ListaDeLocais_DblClick();
  }
  return no->imagem == kImagemAceita ? Aceite::Aceito : Aceite::NaoPodeSerAceito;
}

}  // namespace kv
