// A database that fails the n-th operation of a chosen kind, wrapped around the real one through the
// ConexaoBanco component, so a test can fail a check half-way at any point.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kv::teste {

enum class Operacao { Abrir, Preparar, Passo, LerCampo, Atualizar, Confirmar };
inline const char* const kNomesDasOperacoes[] = {"abrir",     "preparar",  "avançar",
                                                 "ler campo", "atualizar", "confirmar"};

class Injetor {
 public:
  // From now on, counting afresh, the n-th operation of kind `op` (from 1) raises error 3010, or, given
  // `antes`, runs it first and goes on; with n = 0 nothing fails.
  void FalhaNa(Operacao op, long n, std::function<void()> antes = {}) {
    alvo_ = op;
    n_ = n;
    antes_ = std::move(antes);
    contagem.clear();
    comandos.clear();
  }
  void Conta(Operacao op);
  std::map<Operacao, long> contagem;
  // Every SQL text that reached the database, in order, with its recordset kind (0 for a write).
  std::vector<std::pair<int, std::string>> comandos;

 private:
  Operacao alvo_ = Operacao::Abrir;
  long n_ = 0;
  std::function<void()> antes_;
};

// Registers a ConexaoBanco that wraps every database it opens; `RegistraComponentes` undoes it.
void InstalaFalhas(std::shared_ptr<Injetor> injetor);

}  // namespace kv::teste
