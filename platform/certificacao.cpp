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
    static std::map<std::string, FuncaoCertifica> carregadas;
    auto it = carregadas.find(biblioteca);
    if (it != carregadas.end()) {
      f = it->second;
    } else {
      if (!QFileInfo(QString::fromStdString(biblioteca)).isAbsolute())
        throw Erro(kErroDll, "Caminho da biblioteca de certificação não é absoluto: " + biblioteca);
      if (!QFileInfo::exists(QString::fromStdString(biblioteca)))
        throw Erro(kErroArquivoNaoEncontrado, "Biblioteca de certificação não encontrada: " + biblioteca);
      // Kept for the life of the process: the function stays bound for later calls.
      auto* lib = new QLibrary(QString::fromStdString(biblioteca));
      if (!lib->load()) {
        std::string motivo = lib->errorString().toStdString();
        delete lib;
        throw Erro(kErroDll, "Erro ao carregar a biblioteca de certificação " + biblioteca + ": " + motivo);
      }
      f = reinterpret_cast<FuncaoCertifica>(lib->resolve("CertificaArquivo"));
      if (!f)
        throw Erro(kErroPontoEntrada,
                   "Ponto de entrada CertificaArquivo não encontrado na biblioteca " + biblioteca);
      carregadas.emplace(biblioteca, f);
    }
  }
  return f(arquivo.c_str(), chave.c_str());
}

std::string PastaDoComponente() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&PastaDoComponente), &info) == 0 || !info.dli_fname) return ".";
  return QFileInfo(QString::fromUtf8(info.dli_fname)).absolutePath().toStdString();
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
