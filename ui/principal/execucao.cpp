#include "ui/principal/execucao.h"

#include <chrono>

namespace kv {
namespace {

using Relogio = std::chrono::steady_clock;

// How often the window hears of a run at most: often enough to look live, seldom enough that the work
// of showing results stays a small part of the event loop's time.
constexpr auto kIntervalo = std::chrono::milliseconds(100);

}  // namespace

ExecucaoDaCarteira::ExecucaoDaCarteira(Avisos avisos, QObject* pai)
    : QObject(pai), avisos_(std::move(avisos)) {}

ExecucaoDaCarteira::~ExecucaoDaCarteira() {
  Para();
}

void ExecucaoDaCarteira::Para() {
  ++geracao_;  // whatever the old run had queued is dropped
  cancela_ = true;
  if (thread_.joinable()) thread_.join();
  ativa_ = false;
}

void ExecucaoDaCarteira::Inicia(const std::vector<std::string>& caminhos, const OpcoesDaCarteira& opcoes) {
  Para();
  cancela_ = false;
  ativa_ = true;
  thread_ = std::thread(&ExecucaoDaCarteira::Executa, this, geracao_.load(), caminhos, opcoes);
}

void ExecucaoDaCarteira::NaJanela(int geracao, std::function<void()> f) {
  QMetaObject::invokeMethod(
      this,
      [this, geracao, f = std::move(f)] {
        if (geracao == geracao_) f();
      },
      Qt::QueuedConnection);
}

bool ExecucaoDaCarteira::Le(int geracao, Carteira& carteira) {
  auto ultimo = Relogio::now() - kIntervalo;
  return carteira.Prepara(
      [&](size_t feitos, size_t total) {
        if (Relogio::now() - ultimo < kIntervalo) return;
        ultimo = Relogio::now();
        NaJanela(geracao, [this, feitos, total] { avisos_.lendo(feitos, total); });
      },
      &cancela_);
}

bool ExecucaoDaCarteira::Verifica(int geracao, std::shared_ptr<const Carteira> carteira,
                                  const OpcoesDaCarteira& opcoes) {
  NaJanela(geracao, [this, carteira] { avisos_.preparada(carteira); });
  // The first result goes at once, so the first rows show as soon as there are any; the rest in batches.
  auto lote = std::make_shared<std::vector<ResultadoDaCarteira>>();
  auto ultimo = Relogio::now() - kIntervalo;
  auto envia = [&] {
    NaJanela(geracao, [this, lote] { avisos_.chegaram(*lote); });
    lote = std::make_shared<std::vector<ResultadoDaCarteira>>();
    ultimo = Relogio::now();
  };
  const ResumoDaCarteira resumo = VerificaCarteira(
      *carteira, opcoes,
      [&](ResultadoDaCarteira& r) {
        lote->push_back(std::move(r));
        if (Relogio::now() - ultimo >= kIntervalo) envia();
      },
      &cancela_);
  if (!lote->empty()) envia();
  return resumo.interrompido;
}

void ExecucaoDaCarteira::Executa(int geracao, std::vector<std::string> caminhos, OpcoesDaCarteira opcoes) {
  bool interrompida = false;
  try {
    auto carteira = std::make_shared<Carteira>(caminhos);
    // Cancelled while a Jet file was read, nothing of it is left; else the checks.
    interrompida = !Le(geracao, *carteira) || Verifica(geracao, carteira, opcoes);
  } catch (const std::exception& e) {
    const std::string motivo = e.what();
    NaJanela(geracao, [this, motivo] { avisos_.falhou(motivo); });
  }
  NaJanela(geracao, [this, interrompida] {
    ativa_ = false;
    avisos_.terminou(interrompida);
  });
}

}  // namespace kv
