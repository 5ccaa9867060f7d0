#include "cli/opcoes.h"

#include "platform/texto.h"

namespace kv::cli {

Opcoes::Opcoes(const std::vector<std::string>& args, const std::set<std::string>& comValor,
               const std::set<std::string>& flags, size_t maxPosicionais,
               const std::set<std::string>& repetiveis) {
  for (size_t i = 0; i < args.size(); ++i) {
    std::string a = args[i];
    if (a.rfind("--", 0) != 0 || a == "--") {
      if (posicionais_.size() == maxPosicionais) throw ErroUso("argumento inesperado: " + Resumido(a));
      posicionais_.push_back(a);
      continue;
    }
    std::string nome = a, valor;
    bool temIgual = false;
    if (auto p = a.find('='); p != std::string::npos) {
      nome = a.substr(0, p);
      valor = a.substr(p + 1);
      temIgual = true;
    }
    if (flags.count(nome)) {
      if (temIgual) throw ErroUso("a opção " + nome + " não aceita valor");
      flags_.insert(nome);
    } else if (comValor.count(nome)) {
      if (!temIgual) {
        if (i + 1 >= args.size()) throw ErroUso("falta o valor da opção " + nome);
        valor = args[++i];
      }
      if (valores_.count(nome) && !repetiveis.count(nome))
        throw ErroUso("a opção " + nome + " foi dada mais de uma vez");
      valores_[nome].push_back(valor);
    } else {
      throw ErroUso("opção desconhecida: " + Resumido(nome));
    }
  }
}

std::string Opcoes::Valor(const std::string& nome, const std::string& padrao) const {
  auto it = valores_.find(nome);
  return it == valores_.end() ? padrao : it->second.back();
}

std::string Opcoes::Exige(const std::string& nome) const {
  auto it = valores_.find(nome);
  if (it == valores_.end()) throw ErroUso("a opção " + nome + " é obrigatória");
  return it->second.back();
}

std::vector<std::string> Opcoes::Todos(const std::string& nome) const {
  auto it = valores_.find(nome);
  return it == valores_.end() ? std::vector<std::string>{} : it->second;
}

}  // namespace kv::cli
