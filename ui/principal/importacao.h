// A Jet file imported into a SQLite database off the window's thread, with a progress dialog that can
// cancel it. The import itself is jet::Importa: one transaction into a private temporary file, renamed into
// place at the end, so a cancel or an error leaves no destination.
#pragma once

#include <QObject>
#include <QPointer>
#include <atomic>
#include <functional>
#include <string>
#include <thread>

class QProgressDialog;
class QWidget;

namespace kv {

class ImportacaoDoJet : public QObject {
 public:
  // On the window's thread: "" when the database was written, else why not; `interrompida` when the user
  // cancelled (nothing written).
  using AoTerminar = std::function<void(const std::string& erro, bool interrompida)>;

  explicit ImportacaoDoJet(QWidget* janela);
  // Cancels an import in progress and waits for it.
  ~ImportacaoDoJet() override;
  void Inicia(const std::string& origem, const std::string& destino, AoTerminar aoTerminar);
  bool Ativa() const { return thread_.joinable(); }

 private:
  QWidget* janela_;
  QPointer<QProgressDialog> dialogo_;
  std::thread thread_;
  std::atomic<bool> cancela_{false};
};

}  // namespace kv
