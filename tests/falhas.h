// A database that fails the n-th operation of a chosen kind, wrapped around the real one through the
// ConexaoBanco component, so a test can fail a check half-way at any point.
#pragma once

#include <functional>
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
  // From now on, the n-th operation of kind `op` (counted from 1) raises error 3010, or, given `antes`,
  // runs it first and goes on.
  void FalhaNa(Operacao op, long n, std::function<void()> antes = {}) {
    alvo_ = op;
    n_ = n;
    antes_ = std::move(antes);
    contagem_.clear();
    comandos.clear();
    tipos.clear();
  }
  void Desliga() { n_ = 0; }
  long Contagem(Operacao op) const { return contagem_.count(op) ? contagem_.at(op) : 0; }
  void Conta(Operacao op);
  std::vector<std::string> comandos;  // every SQL text that reached the database, in order
  std::vector<int> tipos;             // each one's recordset kind (kSnapshot, kDynaset; 0 for a write)

 private:
  std::map<Operacao, long> contagem_;
  Operacao alvo_ = Operacao::Abrir;
  long n_ = 0;
  std::function<void()> antes_;
};

// Registers a ConexaoBanco that wraps every database it opens; `RegistraComponentes` undoes it.
void InstalaFalhas(std::shared_ptr<Injetor> injetor);

}  // namespace kv::teste
