#include "cli/relatorio.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <fstream>

#include "platform/arquivo.h"
#include "platform/configuracao.h"
#include "platform/db/sqlite_banco.h"
#include "platform/erro.h"
#include "platform/texto.h"

namespace kv::cli {
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

std::string Situacao(const Verificacao& v) {
  if (v.erro)
    return "<span class=\"falha\">Falhou: erro " + std::to_string(v.erro->numero) + ": " +
           Html(v.erro->descricao) + "</span>";
  if (!v.status) return "";
  return std::string("<span class=\"") + (v.consistente ? "consistente" : "inconsistente") + "\">" +
         Html(*v.status) + "</span>";
}

// `id` tells the sections of one file's declarations from another's.
std::string Secao(const Verificacao& v, const std::string& id = "") {
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
          r += "<tr><th>" + Html(fig.rotulo) + "</th><td>" + Html(fig.valor) + "</td></tr>\n";
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

// Each declaration with its status and its number of findings, linked to its section.
std::string Tabela(const std::vector<Verificacao>& vs, const std::string& id = "") {
  std::string r = "<table>\n<tr><th>Declaração</th><th>Situação</th><th>Achados</th></tr>\n";
  for (const Verificacao& v : vs) {
    long achados = 0;
    for (const auto& e : v.entradas) achados += e.size() >= 4;
    r += "<tr><td><a href=\"#" + id + "d" + Html(v.declaracao) + "\">" + Html(v.declaracao) +
         "</a></td><td>" + Situacao(v) + "</td><td>" + std::to_string(achados) + "</td></tr>\n";
  }
  return r + "</table>\n";
}

}  // namespace

void GravaRelatorio(const std::string& arquivo, const std::vector<Verificacao>& vs) {
  std::string banco = vs.empty() ? Config().Le(kApp, "DB", "DbAtual", "") : vs[0].banco;
  std::string exercicio = vs.empty() ? Config().Le(kApp, "Exercicio", "ExercicioAtual", "") : vs[0].exercicio;
  std::string r = Cabeca("Banco de dados: " + Html(banco, false) + "<br>", exercicio);
  if (vs.size() > 1) r += Tabela(vs);
  for (const Verificacao& v : vs) r += Secao(v);
  r += "</body>\n</html>\n";
  GravaArquivoInteiro(arquivo, r);
}

void GravaRelatorioDaCarteira(const std::string& arquivo, const std::vector<ArquivoNoRelatorio>& arquivos,
                              const std::vector<std::pair<std::string, long>>& tipos) {
  long comProblema = 0;
  for (const ArquivoNoRelatorio& a : arquivos) comProblema += a.problema;
  std::string r = Cabeca("Arquivos: " + std::to_string(arquivos.size()) +
                             ", com problemas: " + std::to_string(comProblema) + "<br>",
                         Config().Le(kApp, "Exercicio", "ExercicioAtual", ""));
  if (!tipos.empty()) {
    r += "<table>\n<tr><th>Achado</th><th>Quantidade</th></tr>\n";
    for (const auto& [tipo, n] : tipos)
      r += "<tr><td class=\"chave\">" + Html(tipo) + "</td><td>" + std::to_string(n) + "</td></tr>\n";
    r += "</table>\n";
  }
  // Those with problems first, each group in the order of the run.
  for (bool problema : {true, false})
    for (size_t i = 0; i < arquivos.size(); ++i) {
      const ArquivoNoRelatorio& a = arquivos[i];
      if (a.problema != problema) continue;
      const std::string id = "f" + std::to_string(i);
      r += "<section id=\"" + id + "\">\n<h2>" + Html(a.nome, false) + "</h2>\n";
      if (a.erro)
        r += "<p class=\"falha\">Ilegível: erro " + std::to_string(a.erro->numero) + ": " +
             Html(a.erro->descricao) + "</p>\n";
      if (!a.verificacoes.empty()) r += Tabela(a.verificacoes, id);
      r += "</section>\n";
      for (const Verificacao& v : a.verificacoes) r += Secao(v, id);
    }
  r += "</body>\n</html>\n";
  GravaArquivoInteiro(arquivo, r);
}

void VerificaSaida(const std::string& saida) {
  const QFileInfo arquivo(QString::fromStdString(saida));
  if (!arquivo.absoluteDir().exists())
    throw ErroUso("a pasta do arquivo de saída '" + saida +
                  "' não existe: " + arquivo.absolutePath().toStdString());
  std::string banco = Config().Le(kApp, "DB", "DbAtual", "");
  if (MesmoArquivo(saida, banco))
    throw ErroUso("o arquivo de saída '" + saida + "' é o banco de dados verificado; escolha outro nome");
  if (EhBancoSqlite(saida))
    throw ErroUso("o arquivo de saída '" + saida + "' é um banco de dados SQLite; escolha outro nome");
}

}  // namespace kv::cli
