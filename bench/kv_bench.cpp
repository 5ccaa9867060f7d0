// Benchmarks: one complete check against the same statements on bare SQLite (the floor), the check at
// 100 and at 20,000 declarations, the headless check and the key, and lote with 1 and 2 threads.
// Prints the figures and then the ratios that the performance targets are stated in.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <map>

#include "checker/consistekv.h"
#include "control/controle.h"
#include "host/exemplo.h"
#include "host/host.h"
#include "platform/configuracao.h"
#include "platform/db/jetsql.h"
#include "platform/db/sqlite_banco.h"
#include "platform/externos.h"
#include "rules/frame/estado.h"

namespace {

using namespace kv;

std::string gPasta;
constexpr int gGrande = 20000;

// Databases are generated once and kept beside the build: the large one takes a while to make.
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
    host::CriaEsquema(*b);
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

// A clean declaration from the middle of the database.
int DeclaracaoLimpa(int declaracoes) {
  return declaracoes / 2 + 1;
}

void Usa(const std::string& banco, const char* exercicio = "2002") {
  Config().Grava("KV", "DB", "DbAtual", banco);
  Config().Grava("KV", "Exercicio", "ExercicioAtual", exercicio);
}

void BM_Verificacao(benchmark::State& st) {
  int n = static_cast<int>(st.range(0));
  Usa(Banco(n));
  ControleConsistencia controle;
  controle.DefineDeclaracao(Variant::Long(DeclaracaoLimpa(n)));
  for (auto _ : st) controle.MontaInconsistencias();
  st.counters["nos"] = static_cast<double>(controle.ListaDeLocais().Count());
}

// Records the statements a check issues, so that the floor runs exactly those.
class BancoGravador : public Database {
 public:
  BancoGravador(std::shared_ptr<Database> real, std::vector<std::pair<std::string, int>>* log)
      : real_(std::move(real)), log_(log) {}
  std::unique_ptr<Recordset> OpenRecordset(const std::string& sql, int tipo) override {
    log_->emplace_back(sql, tipo);
    return real_->OpenRecordset(sql, tipo);
  }
  long Executa(const std::string& sql, const std::vector<Variant>& p) override {
    return real_->Executa(sql, p);
  }
  void Inicia() override { real_->Inicia(); }
  void Confirma() override { real_->Confirma(); }
  void Desfaz() override { real_->Desfaz(); }
  std::string Caminho() const override { return real_->Caminho(); }

 private:
  std::shared_ptr<Database> real_;
  std::vector<std::pair<std::string, int>>* log_;
};

std::vector<std::pair<std::string, int>> ComandosDaVerificacao(int n) {
  static std::map<int, std::vector<std::pair<std::string, int>>> cache;
  if (cache.count(n)) return cache[n];
  std::vector<std::pair<std::string, int>> log;
  auto real = CriaComo<ConexaoBanco>(kClsidConexaoBanco);
  class Gravadora : public ConexaoBanco {
   public:
    Gravadora(std::shared_ptr<ConexaoBanco> r, std::vector<std::pair<std::string, int>>* l) : r_(r), l_(l) {}
    std::shared_ptr<Database> AbreBanco(std::string& c) override {
      auto b = r_->AbreBanco(c);
      return b ? std::make_shared<BancoGravador>(b, l_) : nullptr;
    }
    std::shared_ptr<ConexaoBanco> r_;
    std::vector<std::pair<std::string, int>>* l_;
  };
  RegistraClasse(kClsidConexaoBanco, [&] { return std::make_shared<Gravadora>(real, &log); });
  ReiniciaEstado();
  {
    Usa(Banco(n));
    ControleConsistencia controle;
    controle.DefineDeclaracao(Variant::Long(DeclaracaoLimpa(n)));
    controle.MontaInconsistencias();
  }
  host::RegistraComponentes();
  ReiniciaEstado();
  return cache[n] = log;
}

// The floor: the same statements, prepared once on a bare connection, every row and column read.
void BM_Piso(benchmark::State& st) {
  int n = static_cast<int>(st.range(0));
  auto comandos = ComandosDaVerificacao(n);
  sqlite3* db = nullptr;
  sqlite3_open_v2(Banco(n).c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
  struct Preparado {
    sqlite3_stmt* stmt;
    std::vector<long long> parametros;
  };
  std::vector<Preparado> ps;
  std::map<std::string, sqlite3_stmt*> porTexto;
  for (auto& [sql, tipo] : comandos) {
    SqlAdaptado a = AdaptaJet(sql, tipo == kDynaset);
    sqlite3_stmt*& s = porTexto[a.texto];
    if (!s) sqlite3_prepare_v2(db, a.texto.c_str(), -1, &s, nullptr);
    ps.push_back({s, a.parametros});
  }
  long linhas = 0;
  for (auto _ : st) {
    for (auto& p : ps) {
      for (size_t i = 0; i < p.parametros.size(); ++i)
        sqlite3_bind_int64(p.stmt, static_cast<int>(i + 1), p.parametros[i]);
      while (sqlite3_step(p.stmt) == SQLITE_ROW) {
        int c = sqlite3_column_count(p.stmt);
        for (int i = 0; i < c; ++i) benchmark::DoNotOptimize(sqlite3_column_value(p.stmt, i));
        ++linhas;
      }
      sqlite3_reset(p.stmt);
    }
  }
  st.counters["comandos"] = static_cast<double>(ps.size());
  for (auto& [t, s] : porTexto) sqlite3_finalize(s);
  sqlite3_close_v2(db);
}

void BM_VerificaConsistenciaSemChave(benchmark::State& st) {
  Usa(Banco(100));
  ConsisteKV kv;
  for (auto _ : st) {
    Variant ie, ano = Variant::Long(2002), d = Variant::Long(10);  // a declaration with findings: no key
    kv.VerificaConsistencia(ie, ano, d);
  }
}

void BM_Chave(benchmark::State& st) {
  Usa(Banco(100));
  Estado().declaracao = Variant::Long(DeclaracaoLimpa(100));
  ConsisteKV kv;
  for (auto _ : st) kv.GeraConsistencia();
}

BENCHMARK(BM_Verificacao)->Arg(100)->Arg(20000)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_Piso)->Arg(100)->Arg(20000)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_VerificaConsistenciaSemChave)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_Chave)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

// Keeps each run's time so the ratios can be printed after the table.
class Relator : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) tempos[r.benchmark_name()] = r.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> tempos;  // microseconds
};

struct Lote {
  double segundos;
  long picoKb;
};

Lote RodaLote(const std::string& banco, int tarefas) {
  auto inicio = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    std::freopen("/dev/null", "w", stdout);
    std::string t = std::to_string(tarefas);
    execl(KV_PROGRAMA, KV_PROGRAMA, "lote", "--banco", banco.c_str(), "--exercicio", "2002", "--tarefas",
          t.c_str(), "--json", static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  struct rusage uso {};
  wait4(pid, &status, 0, &uso);
  double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
  return {s, uso.ru_maxrss};
}

}  // namespace

int main(int argc, char** argv) {
  QTemporaryDir config;
  setenv("XDG_CONFIG_HOME", config.path().toUtf8().constData(), 1);
  gPasta = QFileInfo(QString::fromLocal8Bit(argv[0])).absolutePath().toStdString() + "/../bench-dados";
  QDir().mkpath(QString::fromStdString(gPasta));
  host::RegistraComponentes();
  Banco(100);
  Banco(gGrande);
  Banco(2000);

  benchmark::Initialize(&argc, argv);
  Relator relator;
  benchmark::RunSpecifiedBenchmarks(&relator);

  Lote um = RodaLote(gPasta + "/bench-2000.db", 1), dois = RodaLote(gPasta + "/bench-2000.db", 2);
  auto t = relator.tempos;
  auto chave = [&](const char* nome, int n) { return std::string(nome) + "/" + std::to_string(n); };
  double v100 = t[chave("BM_Verificacao", 100) + "/min_time:2.000"];
  double vG = t[chave("BM_Verificacao", 20000) + "/min_time:2.000"];
  double p100 = t[chave("BM_Piso", 100) + "/min_time:2.000"];
  double pG = t[chave("BM_Piso", 20000) + "/min_time:2.000"];
  std::printf("\nRazões (meta entre parênteses)\n");
  std::printf("  verificação / piso, 100 declarações:      %.2f\n", p100 > 0 ? v100 / p100 : 0);
  std::printf("  verificação / piso, %d declarações:    %.2f  (<= 1.5)\n", gGrande, pG > 0 ? vG / pG : 0);
  std::printf("  verificação %d / verificação 100:      %.2f  (<= 1.25)\n", gGrande,
              v100 > 0 ? vG / v100 : 0);
  std::printf("  uma verificação completa:                 %.3f ms  (< 2 ms)\n", vG / 1000.0);
  std::printf("  lote, 2000 declarações, 1 tarefa:         %.0f decl/s, pico %.1f MB\n", 2000 / um.segundos,
              um.picoKb / 1024.0);
  std::printf("  lote, 2000 declarações, 2 tarefas:        %.0f decl/s, pico %.1f MB\n", 2000 / dois.segundos,
              dois.picoKb / 1024.0);
  std::printf("  lote 2 tarefas / 1 tarefa:                %.2f  (>= 1.7)\n", um.segundos / dois.segundos);
  return 0;
}
