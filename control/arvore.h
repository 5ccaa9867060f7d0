// The inconsistency tree as the control's logic owns it; a widget only mirrors it.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/exporta.h"

KV_PUBLICO_INICIO

namespace kv {

enum ImagemNo : int { kImagemCabecalho = 1, kImagemAberta = 2, kImagemAceita = 3 };

struct No {
  std::string chave, texto, pai;  // pai is empty for a header node
  int imagem = 0;
  bool naArvore = true;  // false once the tree was cleared: the node no longer belongs to it
};
using NoRef = std::shared_ptr<No>;

// Told of every change, so that a widget shows the same tree.
class ObservadorArvore {
 public:
  virtual ~ObservadorArvore() = default;
  virtual void Limpou() = 0;
  virtual void Adicionou(const NoRef& no) = 0;
  virtual void MudouImagem(const NoRef& no) = 0;
};

class Arvore {
 public:
  void Limpa();
  // A key that another node already has raises error 35602.
  NoRef AdicionaRaiz(const std::string& chave, const std::string& texto, int imagem);
  NoRef AdicionaFilho(const std::string& pai, const std::string& chave, const std::string& texto, int imagem);
  long Count() const { return static_cast<long>(nos_.size()); }
  // Position from 1, in the order nodes were added.
  const NoRef& NoNaPosicao(long posicao) const;
  NoRef Busca(const std::string& chave) const;
  // Changes the image; a node no longer in the tree changes nothing visible.
  void DefineImagem(const NoRef& no, int imagem);
  const std::vector<NoRef>& Nos() const { return nos_; }
  void DefineObservador(ObservadorArvore* o) { observador_ = o; }

 private:
  NoRef Adiciona(const std::string& pai, const std::string& chave, const std::string& texto, int imagem);
  std::vector<NoRef> nos_;
  std::unordered_map<std::string, NoRef> porChave_;
  ObservadorArvore* observador_ = nullptr;
};

}  // namespace kv

KV_PUBLICO_FIM
