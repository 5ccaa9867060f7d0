#include "control/arvore.h"

#include "platform/erro.h"

namespace kv {

void Arvore::Limpa() {
  for (auto& n : nos_) n->naArvore = false;
  nos_.clear();
  porChave_.clear();
  if (observador_) observador_->Limpou();
}

NoRef Arvore::Adiciona(const std::string& pai, const std::string& chave, const std::string& texto,
                       int imagem) {
  if (Busca(chave)) throw Erro(35602, "A chave não é única na coleção: " + chave);
  if (!pai.empty() && !Busca(pai)) throw Erro(35601, "Elemento não encontrado: " + pai);
  auto no = std::make_shared<No>(No{chave, texto, pai, imagem, true});
  nos_.push_back(no);
  porChave_.emplace(chave, no);
  if (observador_) observador_->Adicionou(no);
  return no;
}

NoRef Arvore::AdicionaRaiz(const std::string& chave, const std::string& texto, int imagem) {
  return Adiciona("", chave, texto, imagem);
}

NoRef Arvore::AdicionaFilho(const std::string& pai, const std::string& chave, const std::string& texto,
                            int imagem) {
  return Adiciona(pai, chave, texto, imagem);
}

const NoRef& Arvore::NoNaPosicao(long posicao) const {
  if (posicao < 1 || posicao > Count()) ErroSubscrito();
  return nos_[static_cast<size_t>(posicao - 1)];
}

NoRef Arvore::Busca(const std::string& chave) const {
  auto it = porChave_.find(chave);
  return it == porChave_.end() ? nullptr : it->second;
}

void Arvore::DefineImagem(const NoRef& no, int imagem) {
  no->imagem = imagem;
  if (no->naArvore && observador_) observador_->MudouImagem(no);
}

}  // namespace kv
