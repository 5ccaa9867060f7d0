// lote: every declaration of a database, or of a whole portfolio of databases and folders, on worker
// threads shared across files, in order on the output.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

#include "cli/carteira.h"
#include "cli/comandos.h"
#include "cli/json.h"
#include "cli/relatorio.h"
#include "cli/saida.h"
#include "cli/verificacao.h"
#include "host/host.h"
#include "jet/leitor.h"
#include "platform/arquivo.h"
#include "platform/configuracao.h"
#include "platform/externos.h"
#include "platform/texto.h"

namespace kv::cli {
namespace {

std::atomic<bool> gInterrompido{false};
extern "C" void AoInterromper(int) {
  gInterrompido = true;
}

// What the output asks of each check: JSON lines, explanations (for the report and the figures), and the
// figures of each item on its line.
struct Saida {
  bool json, explica, detalhes, conferirChaves;
};

// One piece of work: a declaration of a file, or (without one) the line of a file that cannot be read.
struct Tarefa {
  size_t arquivo;
  std::string declaracao;
};

// A task done, with its output line made by the worker.
struct Pronta {
  size_t arquivo = 0;
  std::optional<Verificacao> v;  // none for a file that cannot be read
  std::string linha;
};

struct Resumo {
  long total = 0, verificadas = 0, consistentes = 0, inconsistentes = 0, falhas = 0;
  long avisos = 0;  // declarations whose recorded flag or key does not stand
  std::map<std::string, long> porGrupo, porTipo;
  std::map<size_t, bool> problema;  // per file: whether it failed or has an inconsistent declaration
  long ilegiveis = 0;               // files that could not be read at all
  bool interrompido = false;

  void Conta(const Pronta& p) {
    bool& ruim = problema[p.arquivo];
    if (!p.v) {
      ++ilegiveis;
      ruim = true;
      return;
    }
    const Verificacao& v = *p.v;
    ++verificadas;
    if (!v.aviso.empty()) ++avisos;
    if (v.erro)
      ++falhas;
    else if (v.consistente)
      ++consistentes;
    else
      ++inconsistentes;
    ruim = ruim || v.erro || !v.consistente;
    for (const auto& e : v.entradas)
      if (e.size() >= 4) {
        ++porGrupo[e[0]];
        ++porTipo[TipoDoAchado(e[1])];
      }
  }

  std::string Json(bool interrompido, const Carteira* carteira) const {
    std::string g;
    for (const auto& [grupo, n] : porGrupo)
      g += (g.empty() ? "" : ", ") + JsonTexto(grupo) + ": " + std::to_string(n);
    std::string r = "{\"resumo\": {\"declaracoes\": " + std::to_string(total) +
                    ", \"verificadas\": " + std::to_string(verificadas) +
                    ", \"consistentes\": " + std::to_string(consistentes) +
                    ", \"inconsistentes\": " + std::to_string(inconsistentes) +
                    ", \"falhas\": " + std::to_string(falhas) + ", \"avisos\": " + std::to_string(avisos) +
                    ", \"achadosPorGrupo\": {" + g +
                    "}, \"interrompido\": " + (interrompido ? "true" : "false");
    if (carteira) {
      std::string nomes, tipos;
      for (const std::string& n : ComProblema(*carteira)) nomes += (nomes.empty() ? "" : ", ") + JsonTexto(n);
      for (const auto& [tipo, n] : TiposPorQuantidade())
        tipos += (tipos.empty() ? "" : ", ") + JsonTexto(tipo) + ": " + std::to_string(n);
      r += ", \"arquivos\": " + std::to_string(carteira->arquivos().size()) +
           ", \"arquivosIlegiveis\": " + std::to_string(ilegiveis) + ", \"arquivosComProblemas\": [" + nomes +
           "], \"achadosPorTipo\": {" + tipos + "}";
    }
    return r + "}}";
  }

  std::string Texto(bool interrompido, const Carteira* carteira) const {
    std::string r = "\nResumo" + std::string(interrompido ? " (interrompido)" : "") + ": " +
                    std::to_string(verificadas) + " de " + std::to_string(total) +
                    " declarações verificadas\n" + "  consistentes:   " + std::to_string(consistentes) +
                    "\n  inconsistentes: " + std::to_string(inconsistentes) +
                    "\n  com falha:      " + std::to_string(falhas) + "\n" +
                    (avisos ? "  com aviso:      " + std::to_string(avisos) + " (chave gravada)\n" : "");
    if (carteira) {
      const std::vector<std::string> ruins = ComProblema(*carteira);
      r += "Arquivos: " + std::to_string(carteira->arquivos().size()) +
           ", com problemas: " + std::to_string(ruins.size()) +
           (ilegiveis ? " (" + std::to_string(ilegiveis) + " ilegíveis)" : "") + "\n";
      for (const std::string& n : ruins) r += "  " + TextoVisivel(n) + "\n";
      if (!porTipo.empty()) r += "Achados por tipo:\n";
      for (const auto& [tipo, n] : TiposPorQuantidade())
        r += "  " + std::to_string(n) + "  " + TextoVisivel(tipo) + "\n";
      return r;
    }
    if (!porGrupo.empty()) r += "Achados por grupo:\n";
    for (const auto& [grupo, n] : porGrupo) r += "  " + TextoVisivel(grupo) + ": " + std::to_string(n) + "\n";
    return r;
  }

  // The files with problems, in the order of the run.
  std::vector<std::string> ComProblema(const Carteira& carteira) const {
    std::vector<std::string> r;
    for (const auto& [i, ruim] : problema)
      if (ruim) r.push_back(carteira.arquivos()[i].nome);
    return r;
  }
  // Each kind of finding by its count, the most frequent first.
  std::vector<std::pair<std::string, long>> TiposPorQuantidade() const {
    std::vector<std::pair<std::string, long>> r(porTipo.begin(), porTipo.end());
    std::stable_sort(r.begin(), r.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    return r;
  }
};

std::string LinhaTexto(const Verificacao& v) {
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

// A task's line: as a single database's run prints it, or naming its file in a portfolio.
std::string Linha(const ArquivoDaCarteira& a, const Pronta& p, bool json, bool carteira, bool detalhes) {
  if (!p.v)
    return json ? "{\"banco\": " + JsonTexto(a.nome) + ", \"erro\": " + JsonErro(*a.erro) + "}\n"
                : TextoVisivel(a.nome) + ": ilegível: erro " + std::to_string(a.erro->numero) + ": " +
                      TextoVisivel(a.erro->descricao) + "\n";
  std::string objeto = JsonVerificacao(*p.v, false);
  if (detalhes) objeto.insert(objeto.size() - 1, JsonEvidencias(*p.v));
  if (!carteira) return json ? objeto + "\n" : LinhaTexto(*p.v);
  if (json) return "{\"banco\": " + JsonTexto(a.nome) + ", " + objeto.substr(1) + "\n";
  return TextoVisivel(a.nome) + ": " + LinhaTexto(*p.v);
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

// Workers take tasks in turn, check and format them; the printer takes them back in order. The lock
// guards the hand-over alone, never the checking, the formatting or the output.
class Esteira {
 public:
  Esteira(const Carteira& carteira, const std::vector<Tarefa>& tarefas, Saida saida)
      : carteira_(carteira), tarefas_(tarefas), saida_(saida) {}

  // A worker's loop: its own control and module state, until the tasks or the run end.
  void Trabalha() {
    {
      ControleConsistencia controle;
      // Making a clean declaration's key again costs several checks: on request only.
      controle.DefineConferirChave(saida_.conferirChaves);
      size_t atual = SIZE_MAX;  // the file this thread's settings name
      while (Toma()) {
        const size_t i = proxima_++;
        if (i >= tarefas_.size()) {
          Larga();
          break;
        }
        const Tarefa& t = tarefas_[i];
        const ArquivoDaCarteira& a = carteira_.arquivos()[t.arquivo];
        Pronta p{t.arquivo, std::nullopt, ""};
        if (!a.erro) {
          if (!carteira_.Unica() && atual != t.arquivo) DefineValorDaThread(kApp, "DB", "DbAtual", a.caminho);
          atual = t.arquivo;
          p.v = Verifica(controle, t.declaracao, saida_.explica);
          if (!carteira_.Unica()) p.v->banco = a.nome;
        }
        p.linha = Linha(a, p, saida_.json, !carteira_.Unica(), saida_.detalhes);
        Entrega(i, std::move(p));
      }
    }
    LiberaEstadoDaThread();
    DefineValorDaThread("", "", "", "");
    std::lock_guard<std::mutex> g(m_);
    cv_.notify_all();
  }

  // The next tasks in order that are ready, waiting kEspera at most; `acabou` once every task was handed
  // over, or the run was interrupted and no worker has one in hand.
  std::vector<Pronta> Proximas(bool& acabou) {
    std::vector<Pronta> lote;
    std::unique_lock<std::mutex> g(m_);
    cv_.wait_for(g, kEspera,
                 [&] { return prontas_.count(impressa_) || (gInterrompido && emAndamento_ == 0); });
    for (auto it = prontas_.find(impressa_); it != prontas_.end() && it->first == impressa_ + lote.size();
         it = prontas_.erase(it))
      lote.push_back(std::move(it->second));
    impressa_ += lote.size();
    acabou = impressa_ >= tarefas_.size() || (gInterrompido && emAndamento_ == 0 && prontas_.empty());
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
    if (prontas_.size() >= kLoteImpressao || i + 1 == tarefas_.size()) cv_.notify_all();
  }

  const Carteira& carteira_;
  const std::vector<Tarefa>& tarefas_;
  const Saida saida_;
  std::mutex m_;
  std::condition_variable cv_;
  std::map<size_t, Pronta> prontas_;  // finished but not yet printed; memory stays bounded
  std::atomic<size_t> proxima_{0};
  size_t emAndamento_ = 0;
  size_t impressa_ = 0;  // the printer's alone
};

// Prints what the workers hand over, in order, with the progress bar on a terminal; keeps the checks
// for the HTML report when asked.
Resumo Imprime(Esteira& esteira, long total, bool terminal, std::vector<Pronta>* guardadas) {
  Resumo resumo;
  const auto inicio = std::chrono::steady_clock::now();
  for (bool acabou = false; !acabou;) {
    for (Pronta& p : esteira.Proximas(acabou)) {
      resumo.Conta(p);
      if (terminal) std::fputs("\r\033[K", stderr);
      EscreveCru(stdout, p.linha);
      if (guardadas) guardadas->push_back(std::move(p));
    }
    std::fflush(stdout);
    if (terminal) Progresso(static_cast<long>(esteira.impressas()), total, inicio);
  }
  if (terminal) std::fputs("\n", stderr);
  return resumo;
}

// A single database's report as before; a portfolio's with a section per file, those with problems first.
void Relatorio(const std::string& saida, const Carteira& carteira, const Resumo& resumo,
               std::vector<Pronta> prontas) {
  if (carteira.Unica()) {
    std::vector<Verificacao> vs;
    for (Pronta& p : prontas)
      if (p.v) vs.push_back(std::move(*p.v));
    return GravaRelatorio(saida, vs);
  }
  std::vector<ArquivoNoRelatorio> arquivos;
  for (size_t i = 0; i < carteira.arquivos().size(); ++i) {
    const ArquivoDaCarteira& a = carteira.arquivos()[i];
    if (!resumo.problema.count(i)) continue;  // not reached before an interruption
    arquivos.push_back({a.nome, a.erro, resumo.problema.at(i), {}});
  }
  for (Pronta& p : prontas)
    if (p.v)
      for (ArquivoNoRelatorio& r : arquivos)
        if (r.nome == carteira.arquivos()[p.arquivo].nome) r.verificacoes.push_back(std::move(*p.v));
  GravaRelatorioDaCarteira(saida, arquivos, resumo.TiposPorQuantidade());
}

// The files to check: --banco (repeatable) and the paths given.
std::vector<std::string> Caminhos(const Opcoes& o) {
  std::vector<std::string> r = o.Todos("--banco");
  r.insert(r.end(), o.Posicionais().begin(), o.Posicionais().end());
  if (r.empty()) o.Exige("--banco");  // says what is missing
  return r;
}

// Prepares the run: the settings and components, and every file read. A single SQLite database is
// checked as before; Jet copies are opened read-only, whatever else is written.
std::vector<Tarefa> PreparaCarteira(const Opcoes& o, Carteira& carteira) {
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
  // One file alone fails as every command fails on it: wrong usage, or damage (exit 3).
  if (const ArquivoDaCarteira& a = carteira.arquivos()[0]; carteira.Unica() && a.erro) {
    if (a.erroDeUso) throw ErroUso(a.erro->descricao);
    throw Erro(a.erro->numero, a.erro->descricao);
  }
  if (carteira.Unica()) DefineValorDaExecucao(kApp, "DB", "DbAtual", carteira.arquivos()[0].caminho);
  RegistraCopiasSoParaLeitura(carteira, o.Tem("--somente-leitura"));
  std::vector<Tarefa> tarefas;
  for (size_t i = 0; i < carteira.arquivos().size(); ++i) {
    const ArquivoDaCarteira& a = carteira.arquivos()[i];
    if (a.erro) tarefas.push_back({i, ""});
    for (const std::string& d : a.declaracoes) tarefas.push_back({i, d});
  }
  return tarefas;
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

// Ctrl-C, SIGTERM and SIGHUP stop the run after the declarations in progress, for the scope's life.
class Interrupcao {
 public:
  Interrupcao() {
    gInterrompido = false;
    struct sigaction acao {};
    acao.sa_handler = AoInterromper;
    for (size_t i = 0; i < 3; ++i) sigaction(kSinais[i], &acao, &anteriores_[i]);
  }
  // The handlers from before come back: one that removes the temporary copies on a late signal.
  ~Interrupcao() {
    for (size_t i = 0; i < 3; ++i) sigaction(kSinais[i], &anteriores_[i], nullptr);
  }

 private:
  static constexpr int kSinais[3] = {SIGINT, SIGTERM, SIGHUP};
  struct sigaction anteriores_[3]{};
};

// The workers and the printer over every task; the summary of what was printed.
Resumo Executa(const Carteira& carteira, const std::vector<Tarefa>& tarefas, unsigned nTarefas, Saida saida,
               std::vector<Pronta>* guardadas) {
  Interrupcao interrupcao;
  Esteira esteira(carteira, tarefas, saida);
  std::vector<std::thread> trabalhadores;
  for (size_t t = 0; t < std::min<size_t>(nTarefas, std::max<size_t>(tarefas.size(), 1)); ++t)
    trabalhadores.emplace_back([&] { esteira.Trabalha(); });
  Resumo resumo = Imprime(esteira, static_cast<long>(tarefas.size()), isatty(STDERR_FILENO), guardadas);
  for (auto& t : trabalhadores) t.join();
  for (const ArquivoDaCarteira& arquivo : carteira.arquivos())
    resumo.total += static_cast<long>(arquivo.declaracoes.size());
  resumo.interrompido = gInterrompido && esteira.impressas() < tarefas.size();
  return resumo;
}

}  // namespace

int Lote(const Args& a) {
  Opcoes o(a, {"--banco", "--exercicio", "--tarefas", "--html"},
           {"--json", "--somente-leitura", "--detalhes", "--conferir-chaves"}, SIZE_MAX, {"--banco"});
  const std::vector<std::string> caminhos = Caminhos(o);
  o.Exige("--exercicio");
  const unsigned nTarefas = Tarefas(o);
  Carteira carteira(caminhos);
  ConfereRelatorio(o, carteira);
  const std::vector<Tarefa> tarefas = PreparaCarteira(o, carteira);
  const bool json = o.Tem("--json"), html = o.Tem("--html");
  std::vector<Pronta> guardadas;
  const Saida saida{json, html || o.Tem("--detalhes"), o.Tem("--detalhes"), o.Tem("--conferir-chaves")};
  const Resumo resumo = Executa(carteira, tarefas, nTarefas, saida, html ? &guardadas : nullptr);
  const Carteira* portfolio = carteira.Unica() ? nullptr : &carteira;
  EscreveCru(stdout, json ? resumo.Json(resumo.interrompido, portfolio) + "\n"
                          : resumo.Texto(resumo.interrompido, portfolio));
  std::fflush(stdout);
  if (html) Relatorio(o.Valor("--html"), carteira, resumo, std::move(guardadas));
  if (resumo.interrompido) return 130;
  if (resumo.falhas || resumo.ilegiveis) return 3;
  return resumo.inconsistentes ? 1 : 0;
}

}  // namespace kv::cli
