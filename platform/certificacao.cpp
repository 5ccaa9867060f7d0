#include "platform/certificacao.h"

#include <dlfcn.h>

#include <QFileInfo>
#include <QLibrary>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <fstream>
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

namespace {

// The name a file had when the kernel mapped it: a program or library replaced since (an upgrade while
// it runs) is named with " (deleted)" after it.
std::string SemApagado(std::string nome) {
  constexpr std::string_view kApagado = " (deleted)";
  if (nome.ends_with(kApagado)) nome.resize(nome.size() - kApagado.size());
  return nome;
}

// The file mapped at `endereco`, as the kernel names it (absolute, links resolved): the name dladdr gives
// is the one the program was started or the library loaded by, which may be relative to another folder.
std::string ArquivoMapeado(const void* endereco) {
  std::ifstream mapas("/proc/self/maps");
  const auto alvo = reinterpret_cast<uintptr_t>(endereco);
  for (std::string linha; std::getline(mapas, linha);) {
    uintptr_t inicio = 0, fim = 0;
    if (std::sscanf(linha.c_str(), "%" SCNxPTR "-%" SCNxPTR, &inicio, &fim) != 2 || alvo < inicio ||
        alvo >= fim)
      continue;
    const size_t barra = linha.find('/');
    return barra == std::string::npos ? "" : SemApagado(linha.substr(barra));
  }
  return "";
}

}  // namespace

std::string PastaDoComponente() {
  namespace fs = std::filesystem;
  const void* aqui = reinterpret_cast<void*>(&PastaDoComponente);
  std::string arquivo = ArquivoMapeado(aqui);
  if (arquivo.empty()) {
    Dl_info info{};
    if (dladdr(aqui, &info) == 0 || !info.dli_fname) return ".";
    arquivo = info.dli_fname;
  }
  std::error_code erro;
  const fs::path f = fs::weakly_canonical(fs::absolute(arquivo, erro), erro);
  // Linked into a program rather than loaded as the component library: the libraries live in lib/ beside
  // the program's bin/.
  if (f == SemApagado(fs::read_symlink("/proc/self/exe", erro))) {
    const fs::path lib = fs::canonical(f.parent_path() / ".." / "lib", erro);
    if (!erro) return lib.string();
  }
  return f.parent_path().string();
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
