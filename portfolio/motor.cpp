// The portfolio's engine: workers that check declarations in turn, each with its own module state, and
// the hand-over of their results in order.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "control/controle.h"
#include "platform/componentes.h"
#include "platform/configuracao.h"
#include "platform/db/sqlite_banco.h"
#include "platform/externos.h"
#include "portfolio/carteira.h"

namespace kv {
namespace {

// One piece of work: a declaration of a file, or (without one) the line of a file that cannot be read.
struct Tarefa {
  size_t arquivo;
  std::string declaracao;
};

// How many finished results wake the hand-over, and how long it waits at most: results reach the caller
// no later than that.
constexpr size_t kLoteEntrega = 32;
constexpr auto kEspera = std::chrono::milliseconds(50);

// A worker's databases: a Jet file's copy read-only (it stands for a file that is never written), every
// other one through the ConexaoBanco the process has registered, or read-only when asked.
class ConexaoDaCarteira : public ConexaoBanco {
 public:
  ConexaoDaCarteira(std::vector<std::string> copias, std::shared_ptr<ConexaoBanco> normal)
      : copias_(std::move(copias)), leitura_(ConexaoSqlite(true)), normal_(std::move(normal)) {}
  std::shared_ptr<Database> AbreBanco(std::string& caminho) override {
    const bool copia = std::find(copias_.begin(), copias_.end(), caminho) != copias_.end();
    return (copia ? leitura_ : normal_)->AbreBanco(caminho);
  }

 private:
  std::vector<std::string> copias_;
  std::shared_ptr<ConexaoBanco> leitura_, normal_;
};

// Workers take tasks in turn and check them; the caller's thread takes the results back in order. The
// lock guards the hand-over alone, never a check.
class Esteira {
 public:
  Esteira(const Carteira& carteira, const std::vector<Tarefa>& tarefas, const OpcoesDaCarteira& opcoes,
          const std::atomic<bool>* cancela)
      : carteira_(carteira), tarefas_(tarefas), opcoes_(opcoes), cancela_(cancela) {
    for (const ArquivoDaCarteira& a : carteira.arquivos())
      if (a.jet && !a.erro) copias_.push_back(a.caminho);
  }

  void Trabalha() {
    PreparaThread();
    {
      ControleConsistencia controle;
      // Making a clean declaration's key again costs several checks: on request only.
      controle.DefineConferirChave(opcoes_.conferirChaves);
      size_t atual = SIZE_MAX;  // the file this thread's settings name
      while (Toma()) {
        const size_t i = proxima_++;
        if (i >= tarefas_.size()) {
          Larga();
          break;
        }
        Entrega(i, Verifica(controle, tarefas_[i], atual));
      }
    }
    LiberaEstadoDaThread();
    DefineValorDaThread("", "", "", "");
    DefineClasseDaThread(kClsidConexaoBanco, {});
    std::lock_guard<std::mutex> g(m_);
    cv_.notify_all();
  }

  // The next results in order that are ready, waiting kEspera at most; `acabou` once every task was
  // handed over, or the run was cancelled and no worker has one in hand.
  std::vector<ResultadoDaCarteira> Proximas(bool& acabou) {
    std::vector<ResultadoDaCarteira> lote;
    std::unique_lock<std::mutex> g(m_);
    cv_.wait_for(g, kEspera, [&] { return prontas_.count(entregue_) || (Cancelada() && emAndamento_ == 0); });
    for (auto it = prontas_.find(entregue_); it != prontas_.end() && it->first == entregue_ + lote.size();
         it = prontas_.erase(it))
      lote.push_back(std::move(it->second));
    entregue_ += lote.size();
    acabou = entregue_ >= tarefas_.size() || (Cancelada() && emAndamento_ == 0 && prontas_.empty());
    return lote;
  }
  size_t entregues() const { return entregue_; }

 private:
  bool Cancelada() const { return cancela_ && cancela_->load(); }

  // This thread's databases and fiscal year; the process's registered ConexaoBanco is taken before the
  // thread's own replaces it.
  void PreparaThread() {
    auto normal = opcoes_.somenteLeitura ? ConexaoSqlite(true) : CriaComo<ConexaoBanco>(kClsidConexaoBanco);
    auto conexao = std::make_shared<ConexaoDaCarteira>(copias_, normal);
    DefineClasseDaThread(kClsidConexaoBanco, [conexao] { return conexao; });
    if (!opcoes_.exercicio.empty())
      DefineValorDaThread(kApp, "Exercicio", "ExercicioAtual", opcoes_.exercicio);
  }

  ResultadoDaCarteira Verifica(ControleConsistencia& controle, const Tarefa& t, size_t& atual) {
    const ArquivoDaCarteira& a = carteira_.arquivos()[t.arquivo];
    ResultadoDaCarteira r{t.arquivo, std::nullopt};
    if (a.erro) return r;
    if (atual != t.arquivo) DefineValorDaThread(kApp, "DB", "DbAtual", a.caminho);
    atual = t.arquivo;
    controle.DefineDeclaracao(Variant::Str(t.declaracao));
    r.verificacao = controle.Verifica(opcoes_.explica);
    r.verificacao->declaracao = t.declaracao;
    if (a.jet) r.verificacao->banco = a.nome;  // never the copy
    return r;
  }

  bool Toma() {
    std::lock_guard<std::mutex> g(m_);
    if (Cancelada()) return false;
    ++emAndamento_;
    return true;
  }
  void Larga() {
    std::lock_guard<std::mutex> g(m_);
    --emAndamento_;
  }
  void Entrega(size_t i, ResultadoDaCarteira r) {
    std::lock_guard<std::mutex> g(m_);
    prontas_.emplace(i, std::move(r));
    --emAndamento_;
    // The caller is woken for a batch, not for each result: every wake-up on a busy machine takes a core
    // from a worker. It also looks by itself every kEspera.
    if (prontas_.size() >= kLoteEntrega || i + 1 == tarefas_.size()) cv_.notify_all();
  }

  const Carteira& carteira_;
  const std::vector<Tarefa>& tarefas_;
  const OpcoesDaCarteira& opcoes_;
  const std::atomic<bool>* cancela_;
  std::vector<std::string> copias_;
  std::mutex m_;
  std::condition_variable cv_;
  std::map<size_t, ResultadoDaCarteira> prontas_;  // finished but not yet handed over; memory stays bounded
  std::atomic<size_t> proxima_{0};
  size_t emAndamento_ = 0;
  size_t entregue_ = 0;  // the caller's alone
};

std::vector<Tarefa> Tarefas(const Carteira& carteira) {
  std::vector<Tarefa> tarefas;
  for (size_t i = 0; i < carteira.arquivos().size(); ++i) {
    const ArquivoDaCarteira& a = carteira.arquivos()[i];
    if (a.erro) tarefas.push_back({i, ""});
    for (const std::string& d : a.declaracoes) tarefas.push_back({i, d});
  }
  return tarefas;
}

}  // namespace

ResumoDaCarteira VerificaCarteira(const Carteira& carteira, const OpcoesDaCarteira& opcoes,
                                  const std::function<void(ResultadoDaCarteira&)>& entrega,
                                  const std::atomic<bool>* cancela) {
  const std::vector<Tarefa> tarefas = Tarefas(carteira);
  Esteira esteira(carteira, tarefas, opcoes, cancela);
  const unsigned n = opcoes.tarefas ? opcoes.tarefas : std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::thread> trabalhadores;
  for (size_t t = 0; t < std::min<size_t>(n, std::max<size_t>(tarefas.size(), 1)); ++t)
    trabalhadores.emplace_back([&] { esteira.Trabalha(); });
  ResumoDaCarteira resumo;
  for (bool acabou = false; !acabou;)
    for (ResultadoDaCarteira& r : esteira.Proximas(acabou)) {
      resumo.Conta(r);
      entrega(r);
    }
  for (auto& t : trabalhadores) t.join();
  resumo.total = static_cast<long>(carteira.Declaracoes());
  resumo.interrompido = cancela && cancela->load() && esteira.entregues() < tarefas.size();
  return resumo;
}

ResumoDaCarteira VerificaCarteira(
    const std::vector<std::string>& caminhos, const OpcoesDaCarteira& opcoes,
    const std::function<void(const ArquivoDaCarteira&, ResultadoDaCarteira&)>& entrega,
    const std::atomic<bool>* cancela) {
  Carteira carteira(caminhos);
  if (!carteira.Prepara({}, cancela)) {
    ResumoDaCarteira r;
    r.interrompido = true;
    return r;
  }
  return VerificaCarteira(
      carteira, opcoes, [&](ResultadoDaCarteira& r) { entrega(carteira.arquivos()[r.arquivo], r); }, cancela);
}

}  // namespace kv
