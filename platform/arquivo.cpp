#include "platform/arquivo.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/erro.h"

namespace kv {
namespace {

[[noreturn]] void ErroDeArquivo(const std::string& oque, const std::string& caminho) {
  throw Erro(kErroArquivo, oque + " " + caminho + ": " + std::strerror(errno));
}

}  // namespace

void GravaArquivoInteiro(const std::string& caminho, const std::string& texto, unsigned modoNovo) {
  std::string alvo = caminho;
  char real[PATH_MAX];
  if (::realpath(caminho.c_str(), real)) alvo = real;  // write through a link, never over it
  struct stat st;
  mode_t modo = ::stat(alvo.c_str(), &st) == 0 ? (st.st_mode & 07777)
                                               : static_cast<mode_t>(modoNovo & ~MascaraDoUsuario());
  std::string temporario = alvo + ".XXXXXX";
  std::vector<char> nome(temporario.begin(), temporario.end());
  nome.push_back('\0');
  int fd = ::mkstemp(nome.data());
  if (fd < 0) ErroDeArquivo("Não foi possível criar um arquivo temporário para", alvo);
  auto falha = [&](const char* oque) {
    int e = errno;
    ::close(fd);
    ::unlink(nome.data());
    errno = e;
    ErroDeArquivo(oque, alvo);
  };
  if (::fchmod(fd, modo) != 0) falha("Não foi possível definir as permissões de");
  for (size_t feito = 0; feito < texto.size();) {
    ssize_t n = ::write(fd, texto.data() + feito, texto.size() - feito);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) falha("Não foi possível gravar");
    feito += static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0) falha("Não foi possível gravar");
  ::close(fd);
  if (::rename(nome.data(), alvo.c_str()) != 0) {
    int e = errno;
    ::unlink(nome.data());
    errno = e;
    ErroDeArquivo("Não foi possível substituir", alvo);
  }
}

unsigned MascaraDoUsuario() {
  std::ifstream f("/proc/self/status");
  for (std::string linha; std::getline(f, linha);)
    if (linha.compare(0, 6, "Umask:") == 0)
      return static_cast<unsigned>(std::stoul(linha.substr(6), nullptr, 8));
  return 022;
}

TravaDeArquivo::TravaDeArquivo(const std::string& caminho, int esperaMs) {
  fd_ = ::open(caminho.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd_ < 0) ErroDeArquivo("Não foi possível abrir a trava", caminho);
  for (int esperou = 0;; esperou += 10) {
    obtida_ = ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
    if (obtida_ || esperou >= esperaMs) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

TravaDeArquivo::~TravaDeArquivo() {
  ::close(fd_);  // releases the lock
}

std::string Absoluto(const std::string& caminho) {
  std::error_code erro;
  std::string r = std::filesystem::absolute(caminho, erro).lexically_normal().string();
  while (r.size() > 1 && r.back() == '/') r.pop_back();
  return r;
}

bool MesmoArquivo(const std::string& a, const std::string& b) {
  struct stat x, y;
  return ::stat(a.c_str(), &x) == 0 && ::stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev &&
         x.st_ino == y.st_ino;
}

}  // namespace kv
