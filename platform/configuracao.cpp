#include "platform/configuracao.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <atomic>
#include <map>
#include <mutex>

#include "platform/erro.h"

namespace kv {
namespace {

std::mutex gFabricaMutex;
std::function<std::unique_ptr<Configuracao>()> gFabrica;
// Bumped when the factory changes, so each thread notices and rebuilds its store; read without the lock
// on every settings access, which the rules make dozens of times per check.
std::atomic<int> gGeracao{0};

class ConfiguracaoIni : public Configuracao {
 public:
  std::string Le(const std::string& app, const std::string& secao, const std::string& chave,
                 const std::string& padrao) override {
    QSettings& s = Arquivo(app);
    if (s.status() == QSettings::AccessError)
      throw Erro(kErroArquivo, "Não foi possível ler o arquivo de configuração " + ArquivoConfiguracao(app));
    QVariant v = s.value(QString::fromStdString(secao + "/" + chave));
    return v.isValid() ? v.toString().toStdString() : padrao;
  }

  void Grava(const std::string& app, const std::string& secao, const std::string& chave,
             const std::string& valor) override {
    QSettings& s = Arquivo(app);
    s.setValue(QString::fromStdString(secao + "/" + chave), QString::fromStdString(valor));
    s.sync();
    if (s.status() != QSettings::NoError)
      throw Erro(kErroArquivo,
                 "Não foi possível gravar o arquivo de configuração " + ArquivoConfiguracao(app));
  }

  void Recarrega() override {
    for (auto& [app, s] : arquivos_) s->sync();
  }

 private:
  QSettings& Arquivo(const std::string& app) {
    auto it = arquivos_.find(app);
    if (it == arquivos_.end()) {
      auto s =
          std::make_unique<QSettings>(QString::fromStdString(ArquivoConfiguracao(app)), QSettings::IniFormat);
      it = arquivos_.emplace(app, std::move(s)).first;
    }
    return *it->second;
  }
  std::map<std::string, std::unique_ptr<QSettings>> arquivos_;
};

}  // namespace

std::string ArquivoConfiguracao(const std::string& app) {
  QString pasta = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return (pasta + "/" + QString::fromStdString(app) + ".ini").toStdString();
}

void DefineFabricaConfiguracao(std::function<std::unique_ptr<Configuracao>()> fabrica) {
  std::lock_guard<std::mutex> g(gFabricaMutex);
  gFabrica = std::move(fabrica);
  ++gGeracao;
}

Configuracao& Config() {
  thread_local std::unique_ptr<Configuracao> atual;
  thread_local int geracao = -1;
  if (!atual || geracao != gGeracao.load(std::memory_order_acquire)) {
    std::lock_guard<std::mutex> g(gFabricaMutex);
    atual = gFabrica ? gFabrica() : std::make_unique<ConfiguracaoIni>();
    geracao = gGeracao.load();
  }
  return *atual;
}

}  // namespace kv
