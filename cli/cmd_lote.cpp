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

}  // namespace

// How many finished declarations wake the printer, and how long it waits at most: output and progress
// lag the checks by no more than that.
constexpr size_t kLoteImpressao = 32;
constexpr auto kEspera = std::chrono::milliseconds(50);

int Lote(const Args& a) {
  Opcoes o(a, {"--banco", "--exercicio", "--tarefas", "--html"}, {"--json", "--somente-leitura"});
  o.Exige("--banco");
  o.Exige("--exercicio");
  unsigned tarefas = std::max(1u, std::thread::hardware_concurrency());
  if (o.Tem("--tarefas")) {
    double n = 0;
    if (!ParseNumero(o.Valor("--tarefas"), n) || n < 1 || n > 256 || n != static_cast<int>(n))
      throw ErroUso("--tarefas deve ser um número inteiro de 1 a 256");
    tarefas = static_cast<unsigned>(n);
  }
  PreparaHost(o, {.declaracao = false});
  if (o.Tem("--html")) VerificaSaida(o.Valor("--html"));
  const std::vector<std::string> declaracoes = Declaracoes();
  const bool json = o.Tem("--json"), html = o.Tem("--html");
  const bool terminal = isatty(STDERR_FILENO);

  gInterrompido = false;
  struct sigaction acao {};
  acao.sa_handler = AoInterromper;
  sigaction(SIGINT, &acao, nullptr);

  // Workers check and format; the main thread only prints, in declaration order. The lock guards the
  // hand-over alone, never the formatting or the output.
  struct Pronta {
    Verificacao v;
    std::string linha;
  };
  std::mutex m;
  std::condition_variable cv;
  std::map<size_t, Pronta> prontas;  // finished but not yet printed
  std::atomic<size_t> proxima{0};
  size_t emAndamento = 0;
  std::vector<std::thread> trabalhadores;
  for (unsigned t = 0; t < std::min<size_t>(tarefas, std::max<size_t>(declaracoes.size(), 1)); ++t) {
    trabalhadores.emplace_back([&] {
      {
        ControleConsistencia controle;  // each thread has its own module state and control
        for (;;) {
          {
            std::lock_guard<std::mutex> g(m);
            if (gInterrompido) break;
            ++emAndamento;
          }
          size_t i = proxima++;
          if (i >= declaracoes.size()) {
            std::lock_guard<std::mutex> g(m);
            --emAndamento;
            break;
          }
          Pronta p{Verifica(controle, declaracoes[i], html), ""};
          p.linha = json ? JsonVerificacao(p.v, false) + "\n" : LinhaTexto(p.v);
          std::lock_guard<std::mutex> g(m);
          prontas.emplace(i, std::move(p));
          --emAndamento;
          // The printer is woken for a batch, not for each line: every wake-up on a busy machine takes
          // a core from a worker. It also looks by itself every kEspera.
          if (prontas.size() >= kLoteImpressao || i + 1 == declaracoes.size()) cv.notify_all();
        }
      }
      LiberaEstadoDaThread();
      std::lock_guard<std::mutex> g(m);
      cv.notify_all();
    });
  }

  Resumo resumo;
  resumo.total = static_cast<long>(declaracoes.size());
  std::vector<Verificacao> guardadas;
  size_t impressa = 0;
  auto inicio = std::chrono::steady_clock::now();
  for (bool acabou = false; !acabou;) {
    std::vector<Pronta> lote;
    {
      std::unique_lock<std::mutex> g(m);
      cv.wait_for(g, kEspera, [&] { return prontas.count(impressa) || (gInterrompido && emAndamento == 0); });
      // The next ones in declaration order, as soon as they are ready; memory stays bounded.
      for (auto it = prontas.find(impressa); it != prontas.end() && it->first == impressa + lote.size();
           it = prontas.erase(it))
        lote.push_back(std::move(it->second));
      acabou = impressa + lote.size() >= declaracoes.size() ||
               (gInterrompido && emAndamento == 0 && prontas.size() == 0);
    }
    for (Pronta& p : lote) {
      resumo.Conta(p.v);
      if (terminal) std::fputs("\r\033[K", stderr);
      EscreveCru(stdout, p.linha);
      if (html) guardadas.push_back(std::move(p.v));
    }
    impressa += lote.size();
    std::fflush(stdout);
    if (terminal) Progresso(static_cast<long>(impressa), resumo.total, inicio);
  }
  for (auto& t : trabalhadores) t.join();
  signal(SIGINT, SIG_DFL);
  if (terminal) std::fputs("\n", stderr);
  bool interrompido = gInterrompido && impressa < declaracoes.size();
  EscreveCru(stdout, json ? resumo.Json(interrompido) + "\n" : resumo.Texto(interrompido));
  std::fflush(stdout);
  if (html) GravaRelatorio(o.Valor("--html"), guardadas);
  if (interrompido) return 130;
  if (resumo.falhas) return 3;
  return resumo.inconsistentes ? 1 : 0;
}

}  // namespace kv::cli
