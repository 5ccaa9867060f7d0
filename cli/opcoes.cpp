#include "cli/opcoes.h"

#include <algorithm>

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
    nome = SemAcentos(nome);
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
      std::vector<std::string> conhecidas(comValor.begin(), comValor.end());
      conhecidas.insert(conhecidas.end(), flags.begin(), flags.end());
      throw ErroUso("opção desconhecida: " + Resumido(nome) + QuisDizer(nome, conhecidas));
    }
  }
}

std::string SemAcentos(const std::string& s) {
  // The two-byte UTF-8 letters of Latin-1 (0xC3 0x80 to 0xC3 0xBF), each by its letter without accent.
  static const char kBase[] =
      "AAAAAAACEEEEIIII"
      "DNOOOOOxOUUUUYTs"
      "aaaaaaaceeeeiiii"
      "dnooooo/ouuuuyty";
  std::string r;
  for (size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    const auto d = i + 1 < s.size() ? static_cast<unsigned char>(s[i + 1]) : 0;
    if (c == 0xC3 && d >= 0x80 && d <= 0xBF) {
      r += kBase[d - 0x80];
      ++i;
    } else {
      r += s[i];
    }
  }
  return r;
}

namespace {
size_t Distancia(const std::string& a, const std::string& b) {
  std::vector<size_t> linha(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) linha[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = linha[0];
    linha[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t acima = linha[j];
      linha[j] = std::min({linha[j] + 1, linha[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = acima;
    }
  }
  return linha[b.size()];
}
}  // namespace

std::string Sugestao(const std::string& dado, const std::vector<std::string>& possiveis) {
  std::string melhor;
  size_t menor = std::max<size_t>(2, dado.size() / 3) + 1;
  for (const std::string& p : possiveis)
    if (const size_t d = Distancia(dado, p); d < menor) {
      menor = d;
      melhor = p;
    }
  return melhor;
}

std::string QuisDizer(const std::string& dado, const std::vector<std::string>& possiveis) {
  const std::string s = Sugestao(dado, possiveis);
  return s.empty() ? "" : " (você quis dizer '" + s + "'?)";
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
