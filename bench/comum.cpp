#include "bench/comum.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>

#include "host/exemplo.h"
#include "platform/db/esquema.h"
#include "platform/db/sqlite_banco.h"

namespace kv::bench {
namespace {

std::string gPasta;
volatile unsigned long gSumidouro;

}  // namespace

double Segundos(Relogio::time_point desde) {
  return std::chrono::duration<double>(Relogio::now() - desde).count();
}

void DefinePastaDeDados(const std::string& pasta) {
  gPasta = pasta;
  QDir().mkpath(QString::fromStdString(gPasta));
}

// The large one takes a while to make: each is made once.
std::string Banco(int declaracoes) {
  std::string caminho = gPasta + "/bench-" + std::to_string(declaracoes) + ".db";
  if (QFileInfo::exists(QString::fromStdString(caminho))) return caminho;
  std::string temp = caminho + ".gerando";
  QFile::remove(QString::fromStdString(temp));
  std::fprintf(stderr, "gerando %s (%d declarações)...\n", caminho.c_str(), declaracoes);
  {
    auto b = CriaSqlite(temp);
    b->Executa("PRAGMA journal_mode = OFF", {});
    b->Inicia();
    CriaEsquema(*b);
    for (int d = 1; d <= declaracoes; ++d) {
      host::InsereDeclaracaoLimpa(*b, d, std::to_string(100000000 + d), 10, 60);
      if (d % 10 == 0) host::SemeiaAchados(*b, d);  // one in ten has findings of every group
      if (d % 100 == 5) b->Executa("DELETE FROM tblEntradas WHERE Declaração = ?", {Variant::Long(d)});
    }
    b->Confirma();
  }
  QFile::rename(QString::fromStdString(temp), QString::fromStdString(caminho));
  return caminho;
}

std::string PastaDeCarteira(int arquivos, int declaracoes) {
  const QString pasta = QString::fromStdString(gPasta + "/carteira-" + std::to_string(arquivos) + "x" +
                                               std::to_string(declaracoes));
  QDir().mkpath(pasta);
  for (int i = 0; i < arquivos; ++i)
    QFile::copy(QString::fromStdString(Banco(declaracoes)),
                pasta + QString("/firma-%1.db").arg(i, 3, 10, QChar('0')));
  return pasta.toStdString();
}

void TrabalhoCpu(long voltas) {
  unsigned long x = 88172645463325252UL;
  for (long i = 0; i < voltas; ++i) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
  }
  gSumidouro = x;
}

pid_t Lanca(const std::vector<std::string>& args) {
  pid_t pid = fork();
  if (pid == 0) {
    if (!std::freopen("/dev/null", "w", stdout)) _exit(126);
    std::vector<char*> v;
    for (const std::string& a : args) v.push_back(const_cast<char*>(a.c_str()));
    v.push_back(nullptr);
    execv(v[0], v.data());
    _exit(127);
  }
  return pid;
}

Processo Executa(const std::vector<std::string>& args) {
  auto inicio = Relogio::now();
  int status = 0;
  struct rusage uso {};
  wait4(Lanca(args), &status, 0, &uso);
  return {Segundos(inicio), uso.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

double ExecutaJuntos(const std::vector<std::vector<std::string>>& comandos) {
  auto inicio = Relogio::now();
  std::vector<pid_t> filhos;
  for (const auto& c : comandos) filhos.push_back(Lanca(c));
  for (pid_t p : filhos) waitpid(p, nullptr, 0);
  return Segundos(inicio);
}

double ParCpu(int n, long voltas) {
  auto inicio = Relogio::now();
  std::vector<pid_t> filhos;
  for (int i = 0; i < n; ++i) {
    pid_t pid = fork();
    if (pid == 0) {
      TrabalhoCpu(voltas);
      _exit(0);
    }
    filhos.push_back(pid);
  }
  for (pid_t p : filhos) waitpid(p, nullptr, 0);
  return Segundos(inicio);
}

double Cada(int vezes, const std::function<void()>& f) {
  auto inicio = Relogio::now();
  for (int i = 0; i < vezes; ++i) f();
  return Segundos(inicio) / vezes;
}

void MostraControle(int rodadas, const std::vector<double>& controle, const char* conselho) {
  const double menor = *std::min_element(controle.begin(), controle.end());
  const double maior = *std::max_element(controle.begin(), controle.end());
  std::printf("\n%d rodadas; controle de CPU: %.3f s a %.3f s (variação %.2f)\n", rodadas, menor, maior,
              maior / menor);
  if (maior / menor > 1.25)
    std::printf("ATENÇÃO: a máquina está ocupada demais (o controle variou mais de 25%%)%s\n", conselho);
}

double Mediana(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  size_t m = v.size() / 2;
  return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

}  // namespace kv::bench
