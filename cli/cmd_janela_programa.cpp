// janela from kvconsistencia: the window lives in kvconsistencia-janela, beside this program, so that the
// other commands start without loading Qt Widgets and the graphics stack it brings.
#include <unistd.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <vector>

#include "cli/comandos.h"
#include "cli/opcoes.h"

namespace kv::cli {

int Janela(const Args&, int, char** argv) {
  char proprio[4096];
  ssize_t n = ::readlink("/proc/self/exe", proprio, sizeof proprio - 1);
  if (n <= 0) throw std::runtime_error("não foi possível localizar o programa kvconsistencia-janela");
  proprio[n] = '\0';
  std::string janela =
      QFileInfo(QString::fromUtf8(proprio)).absolutePath().toStdString() + "/kvconsistencia-janela";
  std::vector<char*> args{janela.data()};
  for (char** a = argv + 1; *a; ++a) args.push_back(*a);
  args.push_back(nullptr);
  ::execv(janela.c_str(), args.data());
  throw std::runtime_error("não foi possível executar " + janela + ": " + std::strerror(errno));
}

}  // namespace kv::cli
