// A portfolio checked off the window's thread. The portfolio engine runs on a thread of its own (its
// workers beneath it) and what it finds reaches the window through queued calls, results in batches, so
// the event loop never waits for a file or a check.
#pragma once

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "portfolio/carteira.h"

namespace kv {

class ExecucaoDaCarteira : public QObject {
 public:
  // What a run tells, always on the window's thread and in this order: the files being read, the
  // portfolio once read, the results in the portfolio's order, then its end. A run that cannot begin
  // (no database found, a temporary folder that cannot be made) tells `falhou` instead of `preparada`.
  struct Avisos {
    std::function<void(size_t feitos, size_t total)> lendo;
    std::function<void(std::shared_ptr<const Carteira>)> preparada;
    std::function<void(std::vector<ResultadoDaCarteira>&)> chegaram;
    std::function<void(bool interrompida)> terminou;
    std::function<void(const std::string& motivo)> falhou;
  };

  explicit ExecucaoDaCarteira(Avisos avisos, QObject* pai = nullptr);
  // Stops the run and waits for it: nothing it says arrives afterwards.
  ~ExecucaoDaCarteira() override;

  // Starts a run over `caminhos` (files and folders), after stopping the one in progress: what the old
  // run had still to say is dropped.
  void Inicia(const std::vector<std::string>& caminhos, const OpcoesDaCarteira& opcoes);
  // Asks the run to stop: no declaration is begun, those in progress still arrive, then `terminou`.
  void Cancela() { cancela_ = true; }
  bool Ativa() const { return ativa_; }

 private:
  void Para();
  void Executa(int geracao, std::vector<std::string> caminhos, OpcoesDaCarteira opcoes);
  // Reads the files; false when cancelled.
  bool Le(int geracao, Carteira& carteira);
  // Checks the files read; whether the run was interrupted.
  bool Verifica(int geracao, std::shared_ptr<const Carteira> carteira, const OpcoesDaCarteira& opcoes);
  // Runs `f` on the window's thread unless a newer run began meanwhile.
  void NaJanela(int geracao, std::function<void()> f);

  Avisos avisos_;
  std::thread thread_;
  std::atomic<bool> cancela_{false};
  std::atomic<int> geracao_{0};
  bool ativa_ = false;
};

}  // namespace kv
