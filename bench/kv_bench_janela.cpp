// The desktop program's main window while it checks a portfolio of 1,000 files of 50 declarations, under
// the offscreen platform, against `kvconsistencia lote` over the same folder. Each round runs both, in
// turn (the order alternating), after the CPU-only control; each figure is the median over rounds.
//
//   first rows       seconds from opening the folder until the table has its first row
//   longest stall    the longest gap between two ticks of a 5 ms timer while the check runs: how long the
//                    window could not answer input
//   window / lote    the whole check in the window against the same check by `lote`, each in its round
//   event loop's CPU the processor time of the window's thread over the check's duration: what showing the
//                    rows takes from the checks
// KV_BENCH_DETALHES=1 also prints, for each window run, when its longest stall came.
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "bench/comum.h"
#include "host/host.h"
#include "ui/principal/janela_principal.h"

namespace {

using namespace kv;
using namespace kv::bench;

struct Medida {
  double primeiras = -1, total = 0, travada = 0, quando = 0, cpuDaJanela = 0;
};

// Processor seconds the calling thread has used.
double CpuDaThread() {
  struct rusage uso {};
  getrusage(RUSAGE_THREAD, &uso);
  return uso.ru_utime.tv_sec + uso.ru_stime.tv_sec + (uso.ru_utime.tv_usec + uso.ru_stime.tv_usec) / 1e6;
}

// One check of the folder in a fresh window, from Abre until the run ends.
Medida MedeJanela(const std::string& pasta) {
  JanelaPrincipal janela;
  janela.DefineExercicio(2002);
  janela.resize(1000, 700);
  janela.show();
  QApplication::processEvents();
  Medida m;
  QElapsedTimer relogio, tique;
  QObject::connect(&janela.Modelo(), &QAbstractItemModel::rowsInserted, [&] {
    if (m.primeiras < 0) m.primeiras = relogio.nsecsElapsed() / 1e9;
  });
  QTimer batida;
  batida.setTimerType(Qt::PreciseTimer);
  batida.setInterval(5);
  QEventLoop laco;
  QObject::connect(&batida, &QTimer::timeout, [&] {
    if (const double t = tique.nsecsElapsed() / 1e6; t > m.travada) {
      m.travada = t;
      m.quando = relogio.nsecsElapsed() / 1e9;
    }
    tique.restart();
    if (!janela.Verificando()) laco.quit();
  });
  relogio.start();
  tique.start();
  batida.start();
  const double cpu = CpuDaThread();
  janela.Abre({pasta});
  laco.exec();
  m.total = relogio.nsecsElapsed() / 1e9;
  m.cpuDaJanela = CpuDaThread() - cpu;
  if (std::getenv("KV_BENCH_DETALHES"))
    std::fprintf(stderr, "  janela %.1f s, maior parada %.0f ms aos %.1f s, CPU do laço de eventos %.2f s\n",
                 m.total, m.travada, m.quando, m.cpuDaJanela);
  return m;
}

void Mostra(const char* nome, const std::vector<double>& v, const char* formato) {
  std::printf("  %-58s ", nome);
  std::printf(formato, Mediana(v));
  std::printf("  (rodadas: ");
  std::printf(formato, *std::min_element(v.begin(), v.end()));
  std::printf(" a ");
  std::printf(formato, *std::max_element(v.begin(), v.end()));
  std::printf(")\n");
}

}  // namespace

int main(int argc, char** argv) {
  const int rodadas = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  if (argc > 2 || (argc == 2 && std::atoi(argv[1]) <= 0)) {
    std::fputs("uso: kv_bench_janela [rodadas]   (5; uma pasta de 1.000 arquivos de 50 declarações)\n",
               stderr);
    return 2;
  }
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
  qputenv("XDG_CACHE_HOME", (config.path() + "/cache").toUtf8());
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  host::RegistraComponentes();
  DefinePastaDeDados(QFileInfo(QString::fromLocal8Bit(argv[0])).absolutePath().toStdString() +
                     "/../bench-dados");
  std::fprintf(stderr, "preparando a pasta de 1.000 arquivos...\n");
  const std::string pasta = PastaDeCarteira(1000, 50);
  const std::vector<std::string> lote = {KV_PROGRAMA, "lote", "--exercicio", "2002", pasta};
  Executa(lote);  // the files in the page cache for both
  std::vector<double> controle, primeiras, travadas, razoes, janelas, lotes, cpus;
  for (int r = 0; r < rodadas; ++r) {
    std::fprintf(stderr, "rodada %d de %d...\n", r + 1, rodadas);
    controle.push_back(Cada(1, [] { TrabalhoCpu(60'000'000); }));
    Medida m;
    double l = 0;
    if (r % 2 == 0) {
      m = MedeJanela(pasta);
      l = Executa(lote).segundos;
    } else {
      l = Executa(lote).segundos;
      m = MedeJanela(pasta);
    }
    primeiras.push_back(m.primeiras);
    travadas.push_back(m.travada);
    razoes.push_back(m.total / l);
    janelas.push_back(m.total);
    cpus.push_back(m.cpuDaJanela / m.total);
    lotes.push_back(l);
  }
  MostraControle(rodadas, controle, ".");
  std::printf("\nJanela principal sobre 1.000 arquivos de 50 declarações (medianas)\n");
  Mostra("primeiras linhas (s)", primeiras, "%.2f");
  Mostra("maior parada do laço de eventos durante a verificação (ms)", travadas, "%.0f");
  Mostra("verificação inteira: janela / lote", razoes, "%.2f");
  Mostra("CPU do laço de eventos / duração da verificação", cpus, "%.3f");
  Mostra("janela (s)", janelas, "%.1f");
  Mostra("lote (s)", lotes, "%.1f");
  struct rusage uso {};
  getrusage(RUSAGE_SELF, &uso);
  std::printf("  %-58s %.0f\n", "pico de memória do processo da janela (MB)", uso.ru_maxrss / 1024.0);
  return 0;
}
