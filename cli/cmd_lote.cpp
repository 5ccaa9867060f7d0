// lote: every declaration of a database, or of a whole portfolio of databases and folders, through the
// portfolio engine, in order on the output.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>

#include "cli/comandos.h"
#include "cli/saida.h"
#include "cli/verificacao.h"
#include "jet/leitor.h"
#include "platform/arquivo.h"
#include "platform/configuracao.h"
#include "platform/texto.h"
#include "portfolio/carteira.h"
#include "report/html.h"
#include "report/json.h"
#include "report/resumo.h"
#include "report/texto.h"

namespace kv::cli {
namespace {

std::atomic<bool> gInterrompido{false};
extern "C" void AoInterromper(int) {
  gInterrompido = true;
}

// Ctrl-C, SIGTERM and SIGHUP stop the run after the declarations in progress, for the scope's life; the
// handlers from before (one that removes the temporary copies on a late signal) come back after.
class Interrupcao {
 public:
  Interrupcao() {
    gInterrompido = false;
    struct sigaction acao {};
    acao.sa_handler = AoInterromper;
    for (size_t i = 0; i < 3; ++i) sigaction(kSinais[i], &acao, &anteriores_[i]);
  }
  ~Interrupcao() {
    for (size_t i = 0; i < 3; ++i) sigaction(kSinais[i], &anteriores_[i], nullptr);
  }

 private:
  static constexpr int kSinais[3] = {SIGINT, SIGTERM, SIGHUP};
  struct sigaction anteriores_[3]{};
};

// What the output asks of each result.
struct Saida {
  bool json, detalhes, carteira;
  bool soProblemas;  // only what needs attention: not consistent, failed or warned, and unreadable files
};

// A result's line: as a single database's run prints it, or naming its file in a portfolio.
std::string Linha(const ArquivoDaCarteira& a, const ResultadoDaCarteira& r, const Saida& s) {
  const ResultadoVerificacao* v = r.verificacao ? &*r.verificacao : nullptr;
  if (s.soProblemas && v && !v->erro && v->consistente && v->aviso.empty()) return "";
  if (!v) {
    if (!s.json)
      return TextoVisivel(a.nome) + ": ilegível: erro " + std::to_string(a.erro->numero) + ": " +
             TextoVisivel(a.erro->descricao) + "\n";
    EscritorJson j;
    j.Objeto().Chave("banco").Texto(a.nome);
    EscreveErro(j.Chave("erro"), *a.erro);
    return j.Fim().texto() + "\n";
  }
  if (s.json)
    return JsonVerificacao(
               *v, {.arvore = false, .evidencias = s.detalhes, .banco = s.carteira ? &a.nome : nullptr}) +
           "\n";
  return (s.carteira ? TextoVisivel(a.nome) + ": " : "") + LinhaDaVerificacao(*v);
}

// The progress bar on a terminal, redrawn at most every 50 ms.
class Progresso {
 public:
  Progresso(bool terminal, long total) : terminal_(terminal), total_(total) {}
  void Limpa() const {
    if (terminal_) std::fputs("\r\033[K", stderr);
  }
  void Mostra(long feitas, bool agora = false) {
    const auto t = std::chrono::steady_clock::now();
    if (!terminal_ || (!agora && t - ultimo_ < std::chrono::milliseconds(50))) return;
    ultimo_ = t;
    const double s = std::chrono::duration<double>(t - inicio_).count();
    const double taxa = s > 0 ? feitas / s : 0;
    const long resta = taxa > 0 ? static_cast<long>((total_ - feitas) / taxa) : 0;
    const int largura = 30, cheio = total_ ? static_cast<int>(largura * feitas / total_) : largura;
    const std::string barra =
        std::string(static_cast<size_t>(cheio), '#') + std::string(static_cast<size_t>(largura - cheio), '.');
    std::fprintf(stderr, "\r[%s] %ld/%ld  %.1f decl/s  faltam %02ld:%02ld ", barra.c_str(), feitas, total_,
                 taxa, resta / 60, resta % 60);
    std::fflush(stderr);
  }
  void Fim() const {
    if (terminal_) std::fputs("\n", stderr);
  }

 private:
  bool terminal_;
  long total_;
  std::chrono::steady_clock::time_point inicio_ = std::chrono::steady_clock::now(), ultimo_{};
};

unsigned Tarefas(const Opcoes& o) {
  if (!o.Tem("--tarefas")) return 0;
  double n = 0;
  if (!ParseNumero(o.Valor("--tarefas"), n) || n < 1 || n > 256 || n != static_cast<int>(n))
    throw ErroUso("--tarefas deve ser um número inteiro de 1 a 256");
  return static_cast<unsigned>(n);
}

// The files to check: --banco (repeatable) and the paths given; with --exercicio, what a run must have.
std::vector<std::string> Caminhos(const Opcoes& o) {
  std::vector<std::string> r = o.Todos("--banco");
  r.insert(r.end(), o.Posicionais().begin(), o.Posicionais().end());
  if (r.empty() && !o.Tem("--exercicio"))
    throw ErroUso(
        "faltam a opção --banco ARQUIVO (ou os caminhos dos bancos e pastas) e a opção --exercicio AAAA");
  if (r.empty())
    throw ErroUso("falta o banco de dados: use --banco ARQUIVO, ou dê os caminhos dos bancos e pastas");
  o.Exige("--exercicio");
  return r;
}

// The settings and components, then every file read (the Jet files into their copies, with a line on a
// terminal). One file alone fails as every command fails on it: wrong usage, or damage (exit 3).
void PreparaCarteira(const Opcoes& o, Carteira& carteira) {
  const bool unicaSqlite = carteira.Unica() && !jet::EhJet(carteira.arquivos()[0].caminho);
  if (unicaSqlite)
    PreparaHost(o, {.declaracao = false, .banco = carteira.arquivos()[0].nome});
  else
    PreparaHost(o, {.declaracao = false, .carteira = true});
  const bool terminal = isatty(STDERR_FILENO) && carteira.arquivos().size() > 1;
  const bool lido = carteira.Prepara([terminal](size_t feitos, size_t total) {
    if (terminal) std::fprintf(stderr, "\rlendo os arquivos: %zu de %zu\033[K", feitos + 1, total);
  });
  if (terminal) std::fputs("\r\033[K", stderr);
  if (!lido) throw LeituraInterrompida{};
  if (const ArquivoDaCarteira& a = carteira.arquivos()[0]; carteira.Unica() && a.erro) {
    if (a.erroDeUso) throw ErroUso(a.erro->descricao);
    throw Erro(a.erro->numero, a.erro->descricao);
  }
  for (const ArquivoDaCarteira& a : carteira.arquivos())
    if (a.jet && !a.erro)
      EscreveCru(stderr, "kvconsistencia: " + TextoVisivel(a.nome) +
                             " é um arquivo Jet: verificado numa cópia temporária, somente para leitura\n");
}

// An --html that would land on a file being checked.
void ConfereRelatorio(const Opcoes& o, const Carteira& carteira) {
  if (!o.Tem("--html")) return;
  VerificaSaida(o.Valor("--html"));
  for (const ArquivoDaCarteira& arquivo : carteira.arquivos())
    if (MesmoArquivo(o.Valor("--html"), arquivo.caminho))
      throw ErroUso("o arquivo de saída '" + o.Valor("--html") +
                    "' é um dos bancos verificados; escolha outro nome");
}

// A single database's report as before; a portfolio's with a section per file, those with problems first.
void Relatorio(const std::string& saida, const Carteira& carteira, const ResumoDaCarteira& resumo,
               const std::vector<ResultadoDaCarteira>& resultados) {
  if (!carteira.Unica())
    return GravaRelatorioDaCarteira(saida, carteira, resumo, resultados, ExercicioAtualTexto());
  std::vector<ResultadoVerificacao> vs;
  for (const ResultadoDaCarteira& r : resultados)
    if (r.verificacao) vs.push_back(*r.verificacao);
  GravaRelatorio(saida, vs, vs.empty() ? carteira.arquivos()[0].caminho : vs[0].banco, ExercicioAtualTexto());
}

}  // namespace

int Lote(const Args& a) {
  Opcoes o(a, {"--banco", "--exercicio", "--tarefas", "--html"},
           {"--json", "--somente-leitura", "--detalhes", "--conferir-chaves", "--so-problemas"}, SIZE_MAX,
           {"--banco"});
  const std::vector<std::string> caminhos = Caminhos(o);
  const OpcoesDaCarteira opcoes{.tarefas = Tarefas(o),
                                .explica = o.Tem("--html") || o.Tem("--detalhes"),
                                .somenteLeitura = o.Tem("--somente-leitura"),
                                .conferirChaves = o.Tem("--conferir-chaves")};
  Carteira carteira(caminhos);
  ConfereRelatorio(o, carteira);
  PreparaCarteira(o, carteira);
  const Saida saida{o.Tem("--json"), o.Tem("--detalhes"), !carteira.Unica(), o.Tem("--so-problemas")};
  std::vector<ResultadoDaCarteira> guardados;  // for the report
  Progresso progresso(isatty(STDERR_FILENO), static_cast<long>(carteira.Declaracoes()));
  long feitas = 0;
  ResumoDaCarteira resumo;
  {
    Interrupcao interrupcao;
    resumo = VerificaCarteira(
        carteira, opcoes,
        [&](ResultadoDaCarteira& r) {
          progresso.Limpa();
          EscreveCru(stdout, Linha(carteira.arquivos()[r.arquivo], r, saida));
          progresso.Mostra(++feitas);
          if (o.Tem("--html")) guardados.push_back(std::move(r));
        },
        &gInterrompido);
  }
  std::fflush(stdout);
  progresso.Mostra(feitas, true);
  progresso.Fim();
  const Carteira* portfolio = carteira.Unica() ? nullptr : &carteira;
  EscreveCru(stdout, saida.json ? JsonDoResumo(resumo, portfolio) + "\n" : TextoDoResumo(resumo, portfolio));
  std::fflush(stdout);
  if (o.Tem("--html")) {
    Relatorio(o.Valor("--html"), carteira, resumo, guardados);
    DizOndeGravou(o.Valor("--html"));
  }
  if (resumo.interrompido) return 130;
  if (resumo.falhas || resumo.ilegiveis) return 3;
  return resumo.inconsistentes ? 1 : 0;
}

}  // namespace kv::cli
