// Private temporary folders, removed when their run ends however it ends.
#include "platform/temporaria.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string_view>
#include <vector>

#include "platform/arquivo.h"
#include "platform/erro.h"

namespace kv {
namespace {

// Empties and removes a folder with system calls alone: it runs inside a signal handler too, where
// opendir, malloc and locks are not allowed. The folders hold plain files only.
void RemovePasta(const char* pasta) {
  const int fd = ::open(pasta, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0) {
    alignas(8) char buf[4096];
    for (long n; (n = ::syscall(SYS_getdents64, fd, buf, sizeof buf)) > 0;)
      for (long i = 0; i < n;) {
        const auto* e = reinterpret_cast<const struct dirent64*>(buf + i);
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
          ::unlinkat(fd, e->d_name, 0);
        i += e->d_reclen;
      }
    ::close(fd);
  }
  ::rmdir(pasta);
}

// The folders alive now, for the signal handler: fixed slots, so that the handler reads them without a
// lock or an allocation.
constexpr int kVagas = 64;
struct Vaga {
  std::atomic<bool> ocupada{false};
  char caminho[PATH_MAX]{};
};
std::array<Vaga, kVagas> gVagas;
std::mutex gMutexVagas;
constexpr int kSinais[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void RemoveEEncerra(int sinal) {
  for (Vaga& v : gVagas)
    if (v.ocupada.load()) RemovePasta(v.caminho);
  ::signal(sinal, SIG_DFL);
  ::raise(sinal);
}

// Our handler goes only where the signal would end the process: a program's own handler stays.
void InstalaTratador() {
  static std::once_flag uma;
  std::call_once(uma, [] {
    for (int s : kSinais) {
      struct sigaction atual {};
      if (::sigaction(s, nullptr, &atual) != 0 || atual.sa_handler != SIG_DFL) continue;
      struct sigaction acao {};
      acao.sa_handler = RemoveEEncerra;
      sigemptyset(&acao.sa_mask);
      for (int outro : kSinais) sigaddset(&acao.sa_mask, outro);
      ::sigaction(s, &acao, nullptr);
    }
  });
}

int Ocupa(const std::string& caminho) {
  std::lock_guard<std::mutex> g(gMutexVagas);
  for (int i = 0; i < kVagas; ++i)
    if (!gVagas[i].ocupada.load()) {
      std::strncpy(gVagas[i].caminho, caminho.c_str(), PATH_MAX - 1);
      gVagas[i].ocupada = true;
      return i;
    }
  return -1;  // more folders than slots: removed at their end and by the next run, not on a signal
}

bool ProcessoAcabou(long pid) {
  return pid != ::getpid() && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

// Every folder is "kvconsistencia-<pid>-<use>-XXXXXX": a run removes those of this user, whatever their
// use, whose process is gone.
constexpr std::string_view kPrefixo = "kvconsistencia-";

void RemoveRestos(const std::string& base) {
  DIR* dir = ::opendir(base.c_str());
  if (!dir) return;
  std::vector<std::string> restos;
  while (const dirent* e = ::readdir(dir)) {
    const std::string_view nome = e->d_name;
    if (!nome.starts_with(kPrefixo)) continue;
    const std::string_view resto = nome.substr(kPrefixo.size());
    const std::string pid(resto.substr(0, resto.find('-')));
    if (pid.empty() || pid.size() > 9 || pid.find_first_not_of("0123456789") != std::string::npos) continue;
    struct stat st {};
    const std::string caminho = base + "/" + std::string(nome);
    if (::lstat(caminho.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
        ProcessoAcabou(std::stol(pid)))
      restos.push_back(caminho);
  }
  ::closedir(dir);
  for (const std::string& r : restos) RemovePasta(r.c_str());
}

// A folder that only this user can reach: a runtime folder set by another user, or open to others, is
// not used.
bool Privada(const char* pasta) {
  struct stat st {};
  return pasta && pasta[0] == '/' && ::stat(pasta, &st) == 0 && S_ISDIR(st.st_mode) &&
         st.st_uid == ::getuid() && (st.st_mode & 077) == 0 && ::access(pasta, W_OK | X_OK) == 0;
}

}  // namespace

std::string BaseTemporaria(PastaTemporaria::Onde onde) {
  if (onde == PastaTemporaria::Onde::Execucao) {
    const char* execucao = std::getenv("XDG_RUNTIME_DIR");
    if (Privada(execucao)) return Absoluto(execucao);
  }
  const char* temporaria = std::getenv("TMPDIR");
  return Absoluto(temporaria && *temporaria ? temporaria : "/tmp");
}

PastaTemporaria::PastaTemporaria(const std::string& uso, Onde onde) {
  const std::string base = BaseTemporaria(onde);
  RemoveRestos(base);
  std::string modelo =
      base + "/" + std::string(kPrefixo) + std::to_string(::getpid()) + "-" + uso + "-XXXXXX";
  if (!::mkdtemp(modelo.data()))  // mode 0700
    throw Erro(kErroArquivo,
               "Não foi possível criar uma pasta temporária em " + base + ": " + std::strerror(errno));
  caminho_ = modelo;
  InstalaTratador();
  vaga_ = Ocupa(caminho_);
}

PastaTemporaria::~PastaTemporaria() {
  // Removed before its slot is freed: a signal in between still finds it (a second removal is harmless).
  RemovePasta(caminho_.c_str());
  if (vaga_ >= 0) {
    std::lock_guard<std::mutex> g(gMutexVagas);
    gVagas[vaga_].ocupada = false;
  }
}

}  // namespace kv
