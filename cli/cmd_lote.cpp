// lote: every declaration of a database, on worker threads, in declaration order on the output.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

#include "cli/comandos.h"
#include "cli/json.h"
#include "cli/relatorio.h"
#include "cli/saida.h"
#include "cli/verificacao.h"
#include "platform/configuracao.h"
#include "platform/db/sqlite_banco.h"
#include "platform/texto.h"

namespace kv::cli {
namespace {

std::atomic<bool> gInterrompido{false};
extern "C" void AoInterromper(int) {
  gInterrompido = true;
}

struct Resumo {
  long total = 0, verificadas = 0, consistentes = 0, inconsistentes = 0, falhas = 0;
  std::map<std::string, long> porGrupo;
  void Conta(const Verificacao& v) {
    ++verificadas;
    if (v.erro)
      ++falhas;
    else if (v.consistente)
      ++consistentes;
    else
      ++inconsistentes;
    for (const auto& e : v.entradas)
      if (e.size() >= 4) ++porGrupo[e[0]];
  }
  std::string Json(bool interrompido) const {
    std::string g;
    for (const auto& [grupo, n] : porGrupo)
      g += (g.empty() ? "" : ", ") + JsonTexto(grupo) + ": " + std::to_string(n);
    return "{\"resumo\": {\"declaracoes\": " + std::to_string(total) +
           ", \"verificadas\": " + std::to_string(verificadas) +
           ", \"consistentes\": " + std::to_string(consistentes) +
           ", \"inconsistentes\": " + std::to_string(inconsistentes) +
           ", \"falhas\": " + std::to_string(falhas) + ", \"achadosPorGrupo\": {" + g +
           "}, \"interrompido\": " + (interrompido ? "true" : "false") + "}}";
  }
  std::string Texto(bool interrompido) const {
    std::string r = "\nResumo" + std::string(interrompido ? " (interrompido)" : "") + ": " +
                    std::to_string(verificadas) + " de " + std::to_string(total) +
                    " declarações verificadas\n" + "  consistentes:   " + std::to_string(consistentes) +
                    "\n  inconsistentes: " + std::to_string(inconsistentes) +
                    "\n  com falha:      " + std::to_string(falhas) + "\n";
    if (!porGrupo.empty()) r += "Achados por grupo:\n";
    for (const auto& [grupo, n] : porGrupo) r += "  " + TextoVisivel(grupo) + ": " + std::to_string(n) + "\n";
    return r;
  }
};

std::vector<std::string> Declaracoes() {
  std::string caminho = Config().Le(kApp, "DB", "DbAtual", "");
  auto banco = AbreSqlite(caminho, 5000, true);
  if (!banco) throw ErroUso("o banco de dados '" + caminho + "' não pôde ser aberto");
  std::vector<std::string> r;
  auto rs = banco->OpenRecordset("SELECT Declaração FROM tblDeclaração ORDER BY Declaração");
  for (; !rs->Eof(); rs->MoveNext()) r.push_back(CStr(rs->Campo("Declaração")));
  return r;
}

std::string LinhaTexto(const Verificacao& v) {
  std::string r = "Declaração " + v.declaracao + ": ";
  if (v.erro)
    return r + "falhou: erro " + std::to_string(v.erro->numero) + ": " + TextoVisivel(v.erro->descricao) +
           "\n";
  std::string gravou;
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

void Progresso(long feitas, long total, std::chrono::steady_clock::time_point inicio) {
  double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
  double taxa = s > 0 ? feitas / s : 0;
  long resta = taxa > 0 ? static_cast<long>((total - feitas) / taxa) : 0;
  int largura = 30, cheio = total ? static_cast<int>(largura * feitas / total) : largura;
  std::string barra(static_cast<size_t>(cheio), '#');
  barra += std::string(static_cast<size_t>(largura - cheio), '.');
  std::fprintf(stderr, "\r[%s] %ld/%ld  %.1f decl/s  faltam %02ld:%02ld ", barra.c_str(), feitas, total, taxa,
               resta / 60, resta % 60);
  std::fflush(stderr);
}

// How many finished declarations wake the printer, and how long it waits at most: output and progress
// lag the checks by no more than that.
constexpr size_t kLoteImpressao = 32;
constexpr auto kEspera = std::chrono::milliseconds(50);

unsigned Tarefas(const Opcoes& o) {
  if (!o.Tem("--tarefas")) return std::max(1u, std::thread::hardware_concurrency());
  double n = 0;
  if (!ParseNumero(o.Valor("--tarefas"), n) || n < 1 || n > 256 || n != static_cast<int>(n))
    throw ErroUso("--tarefas deve ser um número inteiro de 1 a 256");
  return static_cast<unsigned>(n);
}

// A declaration checked, with its output line made by the worker.
struct Pronta {
  Verificacao v;
  std::string linha;
};

// Workers take declarations in turn, check and format them; the printer takes them back in declaration
// order. The lock guards the hand-over alone, never the checking, the formatting or the output.
class Esteira {
 public:
  Esteira(const std::vector<std::string>& declaracoes, bool json, bool html)
      : declaracoes_(declaracoes), json_(json), html_(html) {}

  // A worker's loop: its own control and module state, until the declarations or the run end.
  void Trabalha() {
    {
      ControleConsistencia controle;
      while (Toma()) {
        const size_t i = proxima_++;
        if (i >= declaracoes_.size()) {
          Larga();
          break;
        }
        Pronta p{Verifica(controle, declaracoes_[i], html_), ""};
        p.linha = json_ ? JsonVerificacao(p.v, false) + "\n" : LinhaTexto(p.v);
        Entrega(i, std::move(p));
      }
    }
    LiberaEstadoDaThread();
    std::lock_guard<std::mutex> g(m_);
    cv_.notify_all();
  }

  // The next declarations in order that are ready, waiting kEspera at most; `acabou` once every
  // declaration was handed over, or the run was interrupted and no worker has one in hand.
  std::vector<Pronta> Proximas(bool& acabou) {
    std::vector<Pronta> lote;
    std::unique_lock<std::mutex> g(m_);
    cv_.wait_for(g, kEspera,
                 [&] { return prontas_.count(impressa_) || (gInterrompido && emAndamento_ == 0); });
    for (auto it = prontas_.find(impressa_); it != prontas_.end() && it->first == impressa_ + lote.size();
         it = prontas_.erase(it))
      lote.push_back(std::move(it->second));
    impressa_ += lote.size();
    acabou = impressa_ >= declaracoes_.size() || (gInterrompido && emAndamento_ == 0 && prontas_.empty());
    return lote;
  }
  size_t impressas() const { return impressa_; }

 private:
  bool Toma() {
    std::lock_guard<std::mutex> g(m_);
    if (gInterrompido) return false;
    ++emAndamento_;
    return true;
  }
  void Larga() {
    std::lock_guard<std::mutex> g(m_);
    --emAndamento_;
  }
  void Entrega(size_t i, Pronta p) {
    std::lock_guard<std::mutex> g(m_);
    prontas_.emplace(i, std::move(p));
    --emAndamento_;
    // The printer is woken for a batch, not for each line: every wake-up on a busy machine takes a core
    // from a worker. It also looks by itself every kEspera.
    if (prontas_.size() >= kLoteImpressao || i + 1 == declaracoes_.size()) cv_.notify_all();
  }

  const std::vector<std::string>& declaracoes_;
  const bool json_, html_;
  std::mutex m_;
  std::condition_variable cv_;
  std::map<size_t, Pronta> prontas_;  // finished but not yet printed; memory stays bounded
  std::atomic<size_t> proxima_{0};
  size_t emAndamento_ = 0;
  size_t impressa_ = 0;  // the printer's alone
};

// Prints what the workers hand over, in order, with the progress bar on a terminal; keeps the checks
// for the HTML report when asked.
Resumo Imprime(Esteira& esteira, long total, bool terminal, std::vector<Verificacao>* guardadas) {
  Resumo resumo;
  resumo.total = total;
  const auto inicio = std::chrono::steady_clock::now();
  for (bool acabou = false; !acabou;) {
    for (Pronta& p : esteira.Proximas(acabou)) {
      resumo.Conta(p.v);
      if (terminal) std::fputs("\r\033[K", stderr);
      EscreveCru(stdout, p.linha);
      if (guardadas) guardadas->push_back(std::move(p.v));
    }
    std::fflush(stdout);
    if (terminal) Progresso(static_cast<long>(esteira.impressas()), total, inicio);
  }
  if (terminal) std::fputs("\n", stderr);
  return resumo;
}

}  // namespace

int Lote(const Args& a) {
  Opcoes o(a, {"--banco", "--exercicio", "--tarefas", "--html"}, {"--json", "--somente-leitura"});
  o.Exige("--banco");
  o.Exige("--exercicio");
  const unsigned tarefas = Tarefas(o);
  PreparaHost(o, {.declaracao = false});
  if (o.Tem("--html")) VerificaSaida(o.Valor("--html"));
  const std::vector<std::string> declaracoes = Declaracoes();
  const bool json = o.Tem("--json"), html = o.Tem("--html");

  gInterrompido = false;
  struct sigaction acao {};
  acao.sa_handler = AoInterromper;
  sigaction(SIGINT, &acao, nullptr);
  Esteira esteira(declaracoes, json, html);
  std::vector<std::thread> trabalhadores;
  for (size_t t = 0; t < std::min<size_t>(tarefas, std::max<size_t>(declaracoes.size(), 1)); ++t)
    trabalhadores.emplace_back([&] { esteira.Trabalha(); });
  std::vector<Verificacao> guardadas;
  const Resumo resumo = Imprime(esteira, static_cast<long>(declaracoes.size()), isatty(STDERR_FILENO),
                                html ? &guardadas : nullptr);
  for (auto& t : trabalhadores) t.join();
  signal(SIGINT, SIG_DFL);

  const bool interrompido = gInterrompido && esteira.impressas() < declaracoes.size();
  EscreveCru(stdout, json ? resumo.Json(interrompido) + "\n" : resumo.Texto(interrompido));
  std::fflush(stdout);
  if (html) GravaRelatorio(o.Valor("--html"), guardadas);
  if (interrompido) return 130;
  if (resumo.falhas) return 3;
  return resumo.inconsistentes ? 1 : 0;
}

}  // namespace kv::cli
