#include "report/texto.h"

#include <map>

#include "platform/texto.h"

namespace kv {
namespace {

const char* Marca(int imagem) {
  return imagem == 1 ? "◆" : imagem == 2 ? "✗" : "✓";
}

// Every line indented, blank ones left blank.
std::string Recuado(const std::string& texto, const std::string& recuo) {
  std::string r;
  bool inicio = true;
  for (char c : texto) {
    if (c == '\r') continue;
    if (inicio && c != '\n') r += recuo;
    r += c;
    inicio = c == '\n';
  }
  return r;
}

// A text from the data that must stay on its line: a line break in a state name cannot start a line
// that looks like the program's own.
std::string NaLinha(const std::string& s) {
  return TextoVisivel(s);
}

std::string Item(const ItemResultado& f) {
  std::string r = "  " + std::string(Marca(f.imagem)) + " " + NaLinha(f.texto) + "  [" + NaLinha(f.chave) +
                  "]" + (f.imagem == 3 ? " (aceita)" : "") + "\n";
  if (!f.mensagem.empty()) r += Recuado(f.mensagem, "      ") + "\n";
  if (!f.resumo.empty()) r += "      Valores: " + NaLinha(f.resumo) + "\n";
  if (f.erroMensagem)
    r += "      (explicação indisponível: erro " + std::to_string(f.erroMensagem->numero) + ": " +
         f.erroMensagem->descricao + ")\n";
  return r;
}

std::string Falha(const ResultadoVerificacao& v) {
  std::string r =
      "\nA verificação falhou: erro " + std::to_string(v.erro->numero) + ": " + v.erro->descricao + "\n";
  if (v.entradas.empty()) return r;
  r += "Achados registrados antes do erro:\n";
  for (const auto& e : v.entradas) {
    std::string linha;
    for (size_t i = 0; i < e.size(); ++i) linha += (i ? " # " : "") + NaLinha(e[i]);
    r += "  " + linha + "\n";
  }
  return r;
}

}  // namespace

std::string TextoVerificacao(const ResultadoVerificacao& v, const OpcoesDoTexto& o) {
  std::string r = "Declaração " + v.declaracao + ", exercício " +
                  (v.exercicio.empty() ? "(não definido)" : v.exercicio) + "\n";
  if (v.status && o.comStatus) r += *v.status + "\n";
  if (!v.aviso.empty()) r += "(A declaração estava gravada como consistente, mas " + v.aviso + ".)\n";
  for (const GrupoResultado& cab : v.arvore) {
    r += "\n" + std::string(Marca(cab.imagem)) + " " + cab.texto + "\n";
    for (const ItemResultado& f : cab.itens) r += Item(f);
  }
  if (o.aoFim) r += o.aoFim(v);
  for (const std::string& g : v.gravacoes) r += "\nGravação: " + g + "\n";
  if (v.erro) r += Falha(v);
  return r;
}

std::string LinhaDaVerificacao(const ResultadoVerificacao& v) {
  std::string r = "Declaração " + v.declaracao + ": ";
  if (v.erro)
    return r + "falhou: erro " + std::to_string(v.erro->numero) + ": " + TextoVisivel(v.erro->descricao) +
           "\n";
  std::string gravou = v.aviso.empty() ? "" : "; " + v.aviso;
  for (const std::string& g : v.gravacoes) gravou += "; " + g;
  if (v.consistente) return r + "consistente" + gravou + "\n";
  std::map<std::string, int> grupos;
  for (const auto& e : v.entradas)
    if (e.size() >= 4) ++grupos[e[0]];
  std::string g;
  for (const auto& [nome, n] : grupos)
    g += (g.empty() ? "" : ", ") + TextoVisivel(nome) + " " + std::to_string(n);
  return r + "inconsistente (" + g + ")" + gravou + "\n";
}

}  // namespace kv
