#include "platform/configuracao.h"

#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>

#include "platform/arquivo.h"
#include "platform/erro.h"
#include "platform/ini.h"

namespace kv {
namespace {

using Valores = std::map<std::string, std::string>;  // "app\x1fsection\x1fkey" -> value

std::mutex gFabricaMutex;
std::function<std::unique_ptr<Configuracao>()> gFabrica;
Valores gDaExecucao;
thread_local Valores tDaThread;
// Bumped when the factory or this run's values change, so each thread notices and rebuilds its store;
// read without the lock on every settings access.
std::atomic<int> gGeracao{0};

std::string Chave(const std::string& app, const std::string& secao, const std::string& chave) {
  return app + '\x1f' + secao + '\x1f' + chave;
}

// Identity of a file's current content, as cheap to take as one stat().
struct Identidade {
  dev_t dev = 0;
  ino_t ino = 0;
  off_t tamanho = -1;
  long long mtime = 0;
  bool operator==(const Identidade&) const = default;
};

Identidade IdentidadeDe(const std::string& caminho) {
  struct stat st;
  if (::stat(caminho.c_str(), &st) != 0) return {};
  return {st.st_dev, st.st_ino, st.st_size, st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec};
}

// The whole file, or "" when it does not exist; anything else that stops the read raises Erro.
std::string LeArquivo(const std::string& caminho) {
  struct stat st;
  if (::stat(caminho.c_str(), &st) != 0) {
    if (errno == ENOENT) return "";
    throw Erro(kErroArquivo,
               "Não foi possível ler o arquivo de configuração " + caminho + ": " + std::strerror(errno));
  }
  if (!S_ISREG(st.st_mode))
    throw Erro(kErroArquivo,
               "Não foi possível ler o arquivo de configuração " + caminho + ": não é um arquivo");
  std::ifstream f(caminho, std::ios::binary);
  if (!f)
    throw Erro(kErroArquivo,
               "Não foi possível ler o arquivo de configuração " + caminho + ": " + std::strerror(errno));
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

// With the lock held no other write is under way: a "KV.ini.XXXXXX" beside the file is what a killed
// write left, and it may hold the user's paths.
void RemoveTemporariosDeixados(const std::string& caminho) {
  const QFileInfo arquivo(QString::fromStdString(caminho));
  for (const QFileInfo& resto :
       QDir(arquivo.absolutePath())
           .entryInfoList({arquivo.fileName() + ".??????"}, QDir::Files | QDir::Hidden))
    QFile::remove(resto.absoluteFilePath());
}

// The host's INI file, parsed once and parsed again only when the file changed.
class ConfiguracaoIni : public Configuracao {
 public:
  std::string Le(const std::string& app, const std::string& secao, const std::string& chave,
                 const std::string& padrao) override {
    Aberto& a = Arquivo(app);
    if (!a.ini) Carrega(app, a);
    return a.ini->Valor(secao, chave).value_or(padrao);
  }

  void Grava(const std::string& app, const std::string& secao, const std::string& chave,
             const std::string& valor) override {
    std::string caminho = ArquivoConfiguracao(app);
    QDir().mkpath(QFileInfo(QString::fromStdString(caminho)).absolutePath());
    // Another process of ours may write the same file: one writer at a time, each from the newest text.
    TravaDeArquivo trava(caminho + ".lock", 10000);
    if (!trava.Obtida())
      throw Erro(kErroArquivo, "O arquivo de configuração " + caminho + " está bloqueado por outro processo");
    RemoveTemporariosDeixados(caminho);
    std::string texto = LeArquivo(caminho);
    Ini validado(texto, caminho);  // never rewrite a file that is not INI
    GravaArquivoInteiro(caminho, EditaIni(texto, secao, chave, valor));
    arquivos_.erase(app);
  }

  void Recarrega() override {
    for (auto& [app, a] : arquivos_)
      if (a.ini && IdentidadeDe(ArquivoConfiguracao(app)) != a.identidade) Carrega(app, a);
  }

 private:
  struct Aberto {
    Identidade identidade;
    std::optional<Ini> ini;
  };
  Aberto& Arquivo(const std::string& app) { return arquivos_[app]; }
  void Carrega(const std::string& app, Aberto& a) {
    std::string caminho = ArquivoConfiguracao(app);
    a.ini.reset();
    a.identidade = IdentidadeDe(caminho);
    a.ini.emplace(LeArquivo(caminho), caminho);
  }
  std::map<std::string, Aberto> arquivos_;
};

// This run's values answered before the store beneath.
class ConfiguracaoDaExecucao : public Configuracao {
 public:
  ConfiguracaoDaExecucao(std::unique_ptr<Configuracao> base, Valores valores)
      : base_(std::move(base)), valores_(std::move(valores)) {}
  std::string Le(const std::string& app, const std::string& secao, const std::string& chave,
                 const std::string& padrao) override {
    if (!tDaThread.empty()) {
      auto it = tDaThread.find(Chave(app, secao, chave));
      if (it != tDaThread.end()) return it->second;
    }
    if (!valores_.empty()) {
      auto it = valores_.find(Chave(app, secao, chave));
      if (it != valores_.end()) return it->second;
    }
    return base_->Le(app, secao, chave, padrao);
  }
  void Grava(const std::string& app, const std::string& secao, const std::string& chave,
             const std::string& valor) override {
    base_->Grava(app, secao, chave, valor);
    if (auto t = tDaThread.find(Chave(app, secao, chave)); t != tDaThread.end()) t->second = valor;
    auto it = valores_.find(Chave(app, secao, chave));
    if (it != valores_.end()) it->second = valor;
  }
  void Recarrega() override { base_->Recarrega(); }

 private:
  std::unique_ptr<Configuracao> base_;
  Valores valores_;
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

void DefineValorDaExecucao(const std::string& app, const std::string& secao, const std::string& chave,
                           const std::string& valor) {
  std::lock_guard<std::mutex> g(gFabricaMutex);
  if (app.empty())
    gDaExecucao.clear();
  else
    gDaExecucao[Chave(app, secao, chave)] = valor;
  ++gGeracao;
}

void DefineValorDaThread(const std::string& app, const std::string& secao, const std::string& chave,
                         const std::string& valor) {
  if (app.empty())
    tDaThread.clear();
  else
    tDaThread[Chave(app, secao, chave)] = valor;
}

Configuracao& Config() {
  thread_local std::unique_ptr<Configuracao> atual;
  thread_local int geracao = -1;
  if (!atual || geracao != gGeracao.load(std::memory_order_acquire)) {
    std::lock_guard<std::mutex> g(gFabricaMutex);
    std::unique_ptr<Configuracao> base = gFabrica ? gFabrica() : std::make_unique<ConfiguracaoIni>();
    atual = std::make_unique<ConfiguracaoDaExecucao>(std::move(base), gDaExecucao);
    geracao = gGeracao.load();
  }
  return *atual;
}

}  // namespace kv
