#include "platform/certificacao.h"

#include <dlfcn.h>

#include <QFileInfo>
#include <QLibrary>
#include <map>
#include <mutex>

#include "platform/erro.h"

namespace kv {
namespace {
using FuncaoCertifica = int (*)(const char*, const char*);
std::mutex gMutex;
std::string gPastaCertificacao;
}  // namespace

int CertificaArquivo(const std::string& biblioteca, const std::string& arquivo, const std::string& chave) {
  FuncaoCertifica f = nullptr;
  {
    std::lock_guard<std::mutex> g(gMutex);
    // Kept for the life of the process: a QLibrary's destructor does not unload, so the function stays
    // bound for later calls.
    static std::map<std::string, std::pair<std::unique_ptr<QLibrary>, FuncaoCertifica>> carregadas;
    auto it = carregadas.find(biblioteca);
    if (it != carregadas.end()) {
      f = it->second.second;
    } else {
      if (!QFileInfo(QString::fromStdString(biblioteca)).isAbsolute())
        throw Erro(kErroDll, "Caminho da biblioteca de certificação não é absoluto: " + biblioteca);
      if (!QFileInfo::exists(QString::fromStdString(biblioteca)))
        throw Erro(kErroArquivoNaoEncontrado, "Biblioteca de certificação não encontrada: " + biblioteca);
      auto lib = std::make_unique<QLibrary>(QString::fromStdString(biblioteca));
      if (!lib->load())
        throw Erro(kErroDll, "Erro ao carregar a biblioteca de certificação " + biblioteca + ": " +
                                 lib->errorString().toStdString());
      f = reinterpret_cast<FuncaoCertifica>(lib->resolve("CertificaArquivo"));
      if (!f)
        throw Erro(kErroPontoEntrada,
                   "Ponto de entrada CertificaArquivo não encontrado na biblioteca " + biblioteca);
      carregadas.emplace(biblioteca, std::make_pair(std::move(lib), f));
    }
  }
  return f(arquivo.c_str(), chave.c_str());
}

std::string PastaDoComponente() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&PastaDoComponente), &info) == 0 || !info.dli_fname) return ".";
  QFileInfo arquivo(QString::fromUtf8(info.dli_fname));
  // Linked into a program rather than loaded as the component library: the libraries live in lib/ beside
  // the program's bin/.
  if (arquivo.canonicalFilePath() == QFileInfo("/proc/self/exe").canonicalFilePath()) {
    QString lib = QFileInfo(arquivo.absolutePath() + "/../lib").canonicalFilePath();
    if (!lib.isEmpty()) return lib.toStdString();
  }
  return arquivo.absolutePath().toStdString();
}

std::string PastaDaCertificacao() {
  std::lock_guard<std::mutex> g(gMutex);
  return gPastaCertificacao.empty() ? PastaDoComponente() : gPastaCertificacao;
}

void DefinePastaDaCertificacao(const std::string& pasta) {
  std::lock_guard<std::mutex> g(gMutex);
  gPastaCertificacao = pasta;
}

}  // namespace kv
