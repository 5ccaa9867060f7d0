#include "platform/ini.h"

#include <vector>

#include "platform/erro.h"

namespace kv {
namespace {

std::string Minusculas(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return s;
}

std::string Aparado(std::string_view s) {
  size_t i = 0, f = s.size();
  while (i < f && (s[i] == ' ' || s[i] == '\t')) ++i;
  while (f > i && (s[f - 1] == ' ' || s[f - 1] == '\t')) --f;
  return std::string(s.substr(i, f - i));
}

std::string Chave(const std::string& secao, const std::string& chave) {
  return Minusculas(secao) + '\x1f' + Minusculas(chave);
}

// One line of the file, without its line end.
struct Linha {
  size_t inicio, fim, proxima;  // [inicio, fim) is the text; proxima starts the next line
};

std::vector<Linha> Linhas(const std::string& t) {
  std::vector<Linha> r;
  size_t i = 0;
  // A byte-order mark belongs to no line.
  if (t.compare(0, 3, "\xEF\xBB\xBF") == 0) i = 3;
  while (i < t.size()) {
    size_t nl = t.find('\n', i);
    size_t fim = nl == std::string::npos ? t.size() : nl;
    size_t prox = nl == std::string::npos ? t.size() : nl + 1;
    if (fim > i && t[fim - 1] == '\r') --fim;
    r.push_back({i, fim, prox});
    i = prox;
  }
  return r;
}

enum class Tipo { Vazia, Secao, Valor };

// Classifies a line; `nome` gets the section name or the key, `valor` the value.
Tipo Classifica(std::string_view s, std::string& nome, std::string& valor, bool& valida) {
  valida = true;
  std::string a = Aparado(s);
  if (a.empty() || a[0] == ';' || a[0] == '#') return Tipo::Vazia;
  if (a[0] == '[') {
    // What follows the closing bracket (a comment, as hosts write them) is ignored.
    const size_t fecha = a.find(']');
    nome = fecha == std::string::npos ? "" : Aparado(std::string_view(a).substr(1, fecha - 1));
    valida = !nome.empty();
    return Tipo::Secao;
  }
  size_t igual = a.find('=');
  valida = igual != std::string::npos && igual > 0;
  if (!valida) return Tipo::Valor;
  nome = Aparado(std::string_view(a).substr(0, igual));
  valor = Aparado(std::string_view(a).substr(igual + 1));
  return Tipo::Valor;
}

bool EntreAspas(std::string_view v) {
  return v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front();
}

}  // namespace

Ini::Ini(const std::string& texto, const std::string& arquivo) {
  if (texto.find('\0') != std::string::npos)
    throw Erro(kErroArquivo,
               "O arquivo de configuração " + arquivo + " não é um arquivo INI (contém bytes nulos)");
  std::string secao;
  int numero = 0;
  for (const Linha& l : Linhas(texto)) {
    ++numero;
    std::string nome, valor;
    bool valida;
    Tipo t = Classifica(std::string_view(texto).substr(l.inicio, l.fim - l.inicio), nome, valor, valida);
    if (!valida)
      throw Erro(kErroArquivo, "O arquivo de configuração " + arquivo +
                                   " não é um arquivo INI válido: linha " + std::to_string(numero) + ": \"" +
                                   texto.substr(l.inicio, l.fim - l.inicio) + "\"");
    if (t == Tipo::Secao) secao = nome;
    // The first occurrence of a key wins, as Windows' profile functions do.
    // One pair of matching quotes around a value is the file's, not the value's.
    if (t == Tipo::Valor)
      valores_.emplace(Chave(secao, nome), EntreAspas(valor) ? valor.substr(1, valor.size() - 2) : valor);
  }
}

std::optional<std::string> Ini::Valor(const std::string& secao, const std::string& chave) const {
  auto it = valores_.find(Chave(secao, chave));
  if (it == valores_.end()) return std::nullopt;
  return it->second;
}

std::string EditaIni(const std::string& texto, const std::string& secao, const std::string& chave,
                     const std::string& valor) {
  if (valor.find_first_of("\r\n") != std::string::npos ||
      chave.find_first_of("=\r\n[];") != std::string::npos)
    throw Erro(kErroArquivo, "Valor de configuração com quebra de linha ou chave inválida: " + chave);
  const std::vector<Linha> linhas = Linhas(texto);
  size_t crlf = texto.find("\r\n"), lf = texto.find('\n');
  const std::string fimDeLinha = (crlf != std::string::npos && crlf + 1 == lf) ? "\r\n" : "\n";
  // A value that is itself quoted gets one more pair, which reading takes off again.
  const std::string nova = chave + "=" + (EntreAspas(valor) ? "\"" + valor + "\"" : valor);

  std::string atual;
  bool naSecao = false;
  size_t fimDaSecao = std::string::npos;  // where a line added to the section goes
  for (const Linha& l : linhas) {
    std::string nome, v;
    bool valida;
    Tipo t = Classifica(std::string_view(texto).substr(l.inicio, l.fim - l.inicio), nome, v, valida);
    if (t == Tipo::Secao) {
      if (naSecao) break;
      naSecao = Minusculas(nome) == Minusculas(secao);
      if (naSecao) fimDaSecao = l.proxima;
      continue;
    }
    if (!naSecao) continue;
    if (t == Tipo::Valor && valida && Minusculas(nome) == Minusculas(chave))
      return texto.substr(0, l.inicio) + nova + texto.substr(l.fim);
    if (t == Tipo::Valor) fimDaSecao = l.proxima;
  }
  if (fimDaSecao != std::string::npos) {
    std::string antes = texto.substr(0, fimDaSecao);
    if (!antes.empty() && antes.back() != '\n') antes += fimDeLinha;
    return antes + nova + fimDeLinha + texto.substr(fimDaSecao);
  }
  std::string r = texto;
  if (!r.empty() && r.back() != '\n') r += fimDeLinha;
  return r + "[" + secao + "]" + fimDeLinha + nova + fimDeLinha;
}

}  // namespace kv
