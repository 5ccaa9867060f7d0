// A database that fails the n-th operation of a chosen kind, wrapped around the real one through the
// ConexaoBanco component, so a test can fail a check half-way at any point.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/db/banco.h"
#include "platform/externos.h"

namespace kv::teste {

enum class Operacao { Abrir, Preparar, Passo, LerCampo, Atualizar, Confirmar };
const char* NomeDe(Operacao op);

class Injetor {
 public:
  // From now on, the n-th operation of kind `op` (counted from 1) raises error 3010.
  void FalhaNa(Operacao op, long n) {
    alvo_ = op;
    n_ = n;
    contagem_.clear();
    comandos.clear();
  }
  void Desliga() { n_ = 0; }
  long Contagem(Operacao op) const {
    auto it = contagem_.find(op);
    return it == contagem_.end() ? 0 : it->second;
  }
  void Conta(Operacao op);
  std::vector<std::string> comandos;  // every SQL text that reached the database, in order

 private:
  std::map<Operacao, long> contagem_;
  Operacao alvo_ = Operacao::Abrir;
  long n_ = 0;
};

// Registers a ConexaoBanco that wraps every database it opens; `RegistraComponentes` undoes it.
void InstalaFalhas(std::shared_ptr<Injetor> injetor);

}  // namespace kv::teste
