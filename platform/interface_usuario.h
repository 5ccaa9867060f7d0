// What the control's logic needs from the windowing system: a message panel, labels and a modal box.
// The tree itself is the logic's own model (control/arvore.h); a view only mirrors it.
#pragma once

#include <string>

#include "platform/exporta.h"

KV_PUBLICO_INICIO

namespace kv {

enum EstiloCaixa : int { kCaixaCritico = 16, kCaixaInformacao = 64 };
enum BotaoCaixa : int { kBotaoOk = 1 };

class CaixaMensagem {
 public:
  virtual ~CaixaMensagem() = default;
  // Shows a modal box and returns the button pressed (1 for OK).
  virtual int Mostra(const std::string& texto, int estilo, const std::string& titulo) = 0;
};

class Texto {
 public:
  virtual ~Texto() = default;
  virtual void Define(const std::string& texto) = 0;
  virtual std::string Valor() const = 0;
};

// In-memory text for the command line and tests.
class TextoMemoria : public Texto {
 public:
  explicit TextoMemoria(std::string inicial = "") : texto_(std::move(inicial)) {}
  void Define(const std::string& texto) override { texto_ = texto; }
  std::string Valor() const override { return texto_; }

 private:
  std::string texto_;
};

}  // namespace kv

KV_PUBLICO_FIM
