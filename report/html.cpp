// The HTML report: one self-contained file for people to open, print or attach.
#include "report/html.h"

#include <QDateTime>
#include <map>

#include "platform/arquivo.h"
#include "platform/texto.h"

namespace kv {
namespace {

// Text from the database as HTML: control and bidirectional characters shown as escapes (as on a
// terminal), invalid bytes visible, markup escaped. Line breaks stay in messages (`quebras`); in a name
// (a heading, a file) they are escaped too, so no name can pass for two.
std::string Html(const std::string& s, bool quebras = true) {
  std::string r;
  for (char c : TextoVisivel(Utf8Valido(s), quebras)) {
    switch (c) {
      case '&':
        r += "&amp;";
        break;
      case '<':
        r += "&lt;";
        break;
      case '>':
        r += "&gt;";
        break;
      case '"':
        r += "&quot;";
        break;
      case '\r':
        break;
      default:
        r += c;
    }
  }
  return r;
}

// The tree's three images, drawn inline so the file needs nothing beside it.
const char* Imagem(int indice) {
  switch (indice) {
    case 1:
      return "<svg class=\"img\" viewBox=\"0 0 10 10\" role=\"img\" aria-label=\"grupo\"><polygon "
             "points=\"5,0 10,5 "
             "5,10 0,5\" fill=\"#ffff00\" stroke=\"#808000\"/></svg>";
    case 2:
      return "<svg class=\"img\" viewBox=\"0 0 10 10\" role=\"img\" aria-label=\"em aberto\"><path d=\"M1 "
             "1L9 9M9 "
             "1L1 9\" stroke=\"#ff0000\" stroke-width=\"2\"/></svg>";
    default:
      return "<svg class=\"img\" viewBox=\"0 0 10 10\" role=\"img\" aria-label=\"aceita\"></svg>";
  }
}

const char* kEstilo = R"(
body { font-family: "DejaVu Sans", Arial, sans-serif; color: #000080; margin: 2em; max-width: 60em; }
h1 { font-size: 1.5em; } h2 { font-size: 1.2em; border-bottom: 1px solid #c0c0c0; padding-bottom: .2em; }
table { border-collapse: collapse; margin: 1em 0; } td, th { border: 1px solid #c0c0c0; padding: .3em .6em; text-align: left; }
.status { font-weight: bold; } .inconsistente { color: #b00000; } .consistente { color: #006000; } .falha { color: #b00000; }
ul.arvore { list-style: none; padding-left: 0; } ul.arvore ul { list-style: none; padding-left: 1.5em; }
.img { width: 10px; height: 10px; margin-right: .4em; vertical-align: middle; }
.chave { color: #606060; font-family: monospace; font-size: .9em; }
.mensagem { white-space: pre-wrap; margin: .3em 0 .8em 1.8em; padding: .4em .6em; background: #f4f4fa; border-left: 3px solid #000080; }
.meta { color: #404040; }
table.valores { margin: .2em 0 .8em 1.8em; font-size: .9em; } table.valores th { font-weight: normal; color: #404040; }
@media print { body { margin: 0; color: #000; } a { color: #000; text-decoration: none; }
  section { page-break-inside: avoid; } .mensagem { background: none; } }
)";

std::string Situacao(const ResultadoVerificacao& v) {
  if (v.erro)
    return "<span class=\"falha\">Falhou: erro " + std::to_string(v.erro->numero) + ": " +
           Html(v.erro->descricao) + "</span>";
  if (!v.status) return "";
  return std::string("<span class=\"") + (v.consistente ? "consistente" : "inconsistente") + "\">" +
         Html(*v.status) + "</span>";
}

// `id` tells the sections of one file's declarations from another's.
std::string Secao(const ResultadoVerificacao& v, const std::string& id = "") {
  std::string r = "<section id=\"" + id + "d" + Html(v.declaracao) + "\">\n<h2>Declaração " +
                  Html(v.declaracao) + "</h2>\n";
  r += "<p class=\"status\">" + Situacao(v) + "</p>\n";
  if (v.arvore.empty() && !v.erro) r += "<p>A Lista de Inconsistências está vazia.</p>\n";
  r += "<ul class=\"arvore\">\n";
  for (const GrupoResultado& cab : v.arvore) {
    r += "<li>" + std::string(Imagem(cab.imagem)) + Html(cab.texto) + "\n<ul>\n";
    for (const ItemResultado& f : cab.itens) {
      r += "<li>" + std::string(Imagem(f.imagem)) + Html(f.texto) + " <span class=\"chave\">" +
           Html(f.chave) + "</span>" + (f.imagem == 3 ? " (aceita)" : "") + "\n";
      if (!f.mensagem.empty()) r += "<div class=\"mensagem\">" + Html(f.mensagem) + "</div>\n";
      if (!f.evidencia.empty()) {
        r += "<table class=\"valores\">\n";
        for (const Figura& fig : f.evidencia)
          r += "<tr><th>" + Html(fig.rotulo) + "</th><td>" + Html(ParaPessoas(fig)) + "</td></tr>\n";
        r += "</table>\n";
      }
      if (f.erroMensagem)
        r += "<div class=\"mensagem\">Explicação indisponível: erro " +
             std::to_string(f.erroMensagem->numero) + ": " + Html(f.erroMensagem->descricao) + "</div>\n";
      r += "</li>\n";
    }
    r += "</ul></li>\n";
  }
  r += "</ul>\n</section>\n";
  return r;
}

std::string Cabeca(const std::string& banco, const std::string& exercicio) {
  std::string data = QDateTime::currentDateTime().toString("dd/MM/yyyy HH:mm").toStdString();
  return "<!DOCTYPE html>\n<html lang=\"pt-BR\">\n<head>\n<meta charset=\"utf-8\">\n<title>Relatório de "
         "consistência</title>\n<style>" +
         std::string(kEstilo) + "</style>\n</head>\n<body>\n<h1>Relatório de consistência</h1>\n" +
         "<p class=\"meta\">" + banco + "Exercício: " + Html(exercicio) + "<br>Data: " + data + "</p>\n";
}

// Whether a portfolio's declaration gets a section of its own: a clean one is its line in the table.
bool TemSecao(const ResultadoVerificacao& v) {
  return v.erro || !v.arvore.empty();
}

// Each declaration with its status and its number of findings, linked to its section when it has one.
std::string Tabela(const std::vector<const ResultadoVerificacao*>& vs, const std::string& id = "") {
  std::string r = "<table>\n<tr><th>Declaração</th><th>Situação</th><th>Achados</th></tr>\n";
  for (const ResultadoVerificacao* v : vs) {
    long achados = 0;
    for (const auto& e : v->entradas) achados += e.size() >= 4;
    const std::string numero = Html(v->declaracao);
    const bool link = id.empty() || TemSecao(*v);
    r += "<tr><td>" + (link ? "<a href=\"#" + id + "d" + numero + "\">" + numero + "</a>" : numero) +
         "</td><td>" + Situacao(*v) + "</td><td>" + std::to_string(achados) + "</td></tr>\n";
  }
  return r + "</table>\n";
}

}  // namespace

void GravaRelatorio(const std::string& arquivo, const std::vector<ResultadoVerificacao>& vs,
                    const std::string& banco, const std::string& exercicio) {
  std::string r = Cabeca("Banco de dados: " + Html(banco, false) + "<br>", exercicio);
  if (vs.size() > 1) {
    std::vector<const ResultadoVerificacao*> todas;
    for (const ResultadoVerificacao& v : vs) todas.push_back(&v);
    r += Tabela(todas);
  }
  for (const ResultadoVerificacao& v : vs) r += Secao(v);
  r += "</body>\n</html>\n";
  GravaArquivoInteiro(arquivo, r);
}

namespace {

// A file's counts for the index: its declarations by outcome, its findings by kind.
std::string Contagem(const ResumoDoArquivo& r) {
  auto quantas = [](long n, const char* uma, const char* varias) {
    return std::to_string(n) + " " + (n == 1 ? uma : varias);
  };
  std::string t = quantas(r.consistentes, "consistente", "consistentes") + ", " +
                  quantas(r.inconsistentes, "inconsistente", "inconsistentes") +
                  (r.falhas ? ", " + std::to_string(r.falhas) + " com falha" : "");
  std::string tipos;
  for (const auto& [tipo, n] : r.porTipo)
    tipos += (tipos.empty() ? "" : ", ") + Html(tipo) + " " + std::to_string(n);
  return t + (tipos.empty() ? "" : "<br><span class=\"chave\">" + tipos + "</span>");
}

// Why a file could not be read, as the index and its section say it.
std::string Ilegivel(const ErroVerificacao& erro) {
  return "Ilegível: erro " + std::to_string(erro.numero) + ": " + Html(erro.descricao);
}

// Every file reached, those with problems first, linked to its section; an unreadable file with its error.
std::string Indice(const Carteira& carteira, const ResumoDaCarteira& resumo) {
  std::string r = "<table>\n<tr><th>Arquivo</th><th>Situação</th></tr>\n";
  for (bool problema : {true, false})
    for (const auto& [i, a] : resumo.arquivos) {
      if (a.Problema() != problema) continue;
      const ArquivoDaCarteira& arquivo = carteira.arquivos()[i];
      r += "<tr><td><a href=\"#f" + std::to_string(i) + "\">" + Html(arquivo.nome, false) + "</a></td><td>" +
           (arquivo.erro ? "<span class=\"falha\">" + Ilegivel(*arquivo.erro) + "</span>" : Contagem(a)) +
           "</td></tr>\n";
    }
  return r + "</table>\n";
}

// Each kind of finding with what it means, the most frequent first.
std::string Tipos(const ResumoDaCarteira& resumo) {
  const auto tipos = resumo.TiposPorQuantidade();
  if (tipos.empty()) return "";
  std::string r = "<table>\n<tr><th>Achado</th><th>Significado</th><th>Quantidade</th></tr>\n";
  for (const auto& [tipo, n] : tipos)
    r += "<tr><td class=\"chave\">" + Html(tipo) + "</td><td>" + Html(DescricaoDoTipo(tipo)) + "</td><td>" +
         std::to_string(n) + "</td></tr>\n";
  return r + "</table>\n";
}

// A file's section: its table of declarations and a section for each with findings or a failure; a file
// whose declarations are all clean is one line.
std::string SecaoDoArquivo(size_t i, const ArquivoDaCarteira& arquivo, const ResumoDoArquivo& resumo,
                           const std::vector<const ResultadoVerificacao*>& vs) {
  const std::string id = "f" + std::to_string(i);
  std::string r = "<section id=\"" + id + "\">\n<h2>" + Html(arquivo.nome, false) + "</h2>\n";
  if (arquivo.erro) r += "<p class=\"falha\">" + Ilegivel(*arquivo.erro) + "</p>\n";
  if (!arquivo.erro && !resumo.Problema()) {
    r += "<p class=\"consistente\">Todas as " + std::to_string(vs.size()) +
         " declarações estão consistentes.</p>\n";
    return r + "</section>\n";
  }
  if (!vs.empty()) r += Tabela(vs, id);
  r += "</section>\n";
  for (const ResultadoVerificacao* v : vs)
    if (TemSecao(*v)) r += Secao(*v, id);
  return r;
}

}  // namespace

void GravaRelatorioDaCarteira(const std::string& arquivo, const Carteira& carteira,
                              const ResumoDaCarteira& resumo,
                              const std::vector<ResultadoDaCarteira>& resultados,
                              const std::string& exercicio) {
  // The files reached before an interruption, with their declarations.
  std::map<size_t, std::vector<const ResultadoVerificacao*>> porArquivo;
  for (const ResultadoDaCarteira& p : resultados)
    if (p.verificacao) porArquivo[p.arquivo].push_back(&*p.verificacao);
  std::string r = Cabeca("Arquivos: " + std::to_string(carteira.arquivos().size()) +
                             ", com problemas: " + std::to_string(resumo.ComProblema().size()) + "<br>",
                         exercicio);
  r += Indice(carteira, resumo) + Tipos(resumo);
  for (bool problema : {true, false})
    for (const auto& [i, a] : resumo.arquivos)
      if (a.Problema() == problema) r += SecaoDoArquivo(i, carteira.arquivos()[i], a, porArquivo[i]);
  r += "</body>\n</html>\n";
  GravaArquivoInteiro(arquivo, r);
}

}  // namespace kv
