// importar: a Jet file of the host (.mdb, .accdb) copied into a new SQLite database that every other
// command reads (jet/importacao.h says how the copy is made safe).
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>

#include "cli/comandos.h"
#include "cli/opcoes.h"
#include "cli/verificacao.h"
#include "jet/importacao.h"
#include "platform/arquivo.h"
#include "platform/erro.h"
#include "platform/texto.h"
#include "report/json.h"

namespace kv::cli {
namespace {

void Progresso(const std::string& tabela, long long feitas, long long total) {
  const int largura = 30;
  const int cheio = total ? static_cast<int>(largura * std::min(feitas, total) / total) : largura;
  std::string barra = "\r[" + std::string(static_cast<size_t>(cheio), '#') +
                      std::string(static_cast<size_t>(largura - cheio), '.') + "] " + std::to_string(feitas) +
                      "/" + std::to_string(total) + " linhas  " + TextoVisivel(tabela) + "\033[K";
  [[maybe_unused]] ssize_t n = ::write(2, barra.data(), barra.size());
}

void ImprimeJson(const std::string& origem, const std::string& destino, const jet::Importacao& r) {
  EscritorJson j;
  j.Objeto().Chave("origem").Texto(origem).Chave("destino").Texto(destino).Chave("tabelas").Lista();
  for (const auto& [nome, linhas] : r.tabelas)
    j.Objeto().Chave("nome").Texto(nome).Chave("linhas").Numero(linhas).Fim();
  j.Fim().Chave("linhas").Numero(r.linhas).Chave("declaracoes").Logico(r.declaracoes).Fim();
  std::printf("%s\n", j.texto().c_str());
}

void ImprimeTexto(const std::string& origem, const std::string& destino, const jet::Importacao& r,
                  double segundos) {
  for (const auto& [t, n] : r.tabelas) {
    const std::string nome = TextoVisivel(t);  // padded by characters, not bytes, so accents keep the columns
    std::printf("  %s%s %8lld linhas\n", nome.c_str(),
                std::string(30 - std::min<size_t>(30, Caracteres(nome)), ' ').c_str(), n);
  }
  std::printf("%zu tabelas, %lld linhas importadas de %s para %s em %.1f s\n", r.tabelas.size(), r.linhas,
              TextoVisivel(origem).c_str(), TextoVisivel(destino).c_str(), segundos);
  if (!r.declaracoes)
    std::printf(
        "Atenção: o arquivo não tem declarações (falta a tabela tblDeclaração); os outros comandos\n"
        "não poderão verificá-lo.\n");
}

// The source made absolute and the destination, once both are fit for an import.
std::pair<std::string, std::string> Caminhos(const Opcoes& o) {
  if (o.Posicionais().empty()) throw ErroUso("informe o arquivo Jet de origem e o banco de dados de destino");
  if (o.Posicionais().size() == 1) throw ErroUso("falta o banco de dados de destino, depois do arquivo Jet");
  if (o.Posicionais().size() > 2) throw ErroUso("argumento inesperado: " + Resumido(o.Posicionais()[2]));
  const std::string origem = Absoluto(o.Posicionais()[0]);
  const std::string destino = o.Posicionais()[1];
  struct stat st;
  if (::stat(origem.c_str(), &st) != 0)
    throw ErroUso("o arquivo de origem '" + TextoVisivel(o.Posicionais()[0]) + "' não existe");
  if (MesmoArquivo(origem, destino)) throw ErroUso("o destino é o próprio arquivo de origem");
  ConferePasta(destino, "do destino '" + TextoVisivel(destino) + "'");
  const bool existe = ::stat(destino.c_str(), &st) == 0;
  if (existe && S_ISDIR(st.st_mode))
    throw ErroUso("o destino '" + TextoVisivel(destino) +
                  "' é uma pasta; dê o nome do banco de dados a criar");
  if (existe && !o.Tem("--substituir"))
    throw ErroUso("o destino '" + TextoVisivel(destino) + "' já existe; use --substituir para trocá-lo");
  return {origem, destino};
}

// The import, with a progress line on a terminal; its errors say that nothing was written.
jet::Importacao ImportaComProgresso(const std::string& origem, const std::string& destino, bool terminal) {
  try {
    jet::Importacao r =
        jet::Importa(origem, destino, terminal ? jet::Progresso(Progresso) : jet::Progresso());
    if (terminal) std::fputs("\r\033[K", stderr);
    return r;
  } catch (const Erro& e) {
    if (terminal) std::fputs("\r\033[K", stderr);
    throw Erro(e.numero(), e.descricao() + " Nada foi gravado em " + TextoVisivel(destino) + ".");
  }
}

}  // namespace

int Importar(const Args& a) {
  Opcoes o(a, {}, {"--json", "--substituir"}, 2);
  const auto [origem, destino] = Caminhos(o);
  const auto inicio = std::chrono::steady_clock::now();
  const jet::Importacao r = ImportaComProgresso(origem, destino, ::isatty(2) && !o.Tem("--json"));
  if (r.interrompida) {
    std::fprintf(stderr, "kvconsistencia: importação interrompida; nada foi gravado em %s\n",
                 TextoVisivel(destino).c_str());
    return 128 + (r.sinal ? r.sinal : SIGINT);
  }
  for (const std::string& aviso : r.avisos)
    std::fprintf(stderr, "kvconsistencia: libmdb: %s\n", aviso.c_str());
  const double segundos = std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
  if (o.Tem("--json"))
    ImprimeJson(origem, destino, r);
  else
    ImprimeTexto(origem, destino, r, segundos);
  return 0;
}

}  // namespace kv::cli
