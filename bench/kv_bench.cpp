// Benchmarks that reproduce on a shared, noisy machine: every variant runs once per round, in turn, and
// each figure is the median over rounds of a ratio taken within one round. A CPU-only loop runs first in
// every round as a control; when it varies too much between rounds the machine is too busy for the
// figures to mean anything, and the program says so.
//
// Variants: one complete check (the tree builder) at 100 and at 20,000 declarations; its floor, the same
// statements on bare SQLite inside one read transaction; the read-once lower bound (every row of the
// declaration read once); the check of a declaration recorded consistent with findings (its key is made
// again and compared); lote with 1 and 2 workers beside a CPU-only pair of processes and beside two
// one-worker lote processes; one `verificar` as a command-line call; importar of a Jet file against reading
// it with libmdb alone. With KV_BENCH_ANTERIOR=path/to/an/older/kvconsistencia the same command-line figures
// are taken for that program in the same rounds.
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <vector>

#include "bench/comum.h"
#include "checker/consistekv.h"
#include "control/controle.h"
#include "host/exemplo.h"
#include "host/host.h"
#include "platform/configuracao.h"
#include "platform/db/jetsql.h"
#include "platform/db/modelo.h"
#include "platform/db/sqlite_banco.h"
#include "platform/externos.h"
#include "rules/frame/estado.h"

// libmdb's header wraps glib in extern "C": it comes after the C++ headers.
#include <mdbtools.h>

namespace {

using namespace kv;
using namespace kv::bench;

constexpr int kGrande = 20000;

int DeclaracaoLimpa(int declaracoes) {
  return declaracoes / 2 + 1;
}

void Usa(const std::string& banco) {
  static std::string atual;  // setting a value anew starts a new settings store: only when it changes
  if (banco == atual) return;
  atual = banco;
  DefineValorDaExecucao("KV", "DB", "DbAtual", banco);
  DefineValorDaExecucao("KV", "Exercicio", "ExercicioAtual", "2002");
}

// Records the statements a check issues, so that the floor runs exactly those.
class BancoGravador : public DatabaseWrapper {
 public:
  BancoGravador(std::shared_ptr<Database> real, std::vector<std::pair<std::string, int>>* log)
      : DatabaseWrapper(std::move(real)), log_(log) {}
  std::unique_ptr<Recordset> OpenRecordset(const std::string& sql, int tipo) override {
    log_->emplace_back(sql, tipo);
    return DatabaseWrapper::OpenRecordset(sql, tipo);
  }
  std::unique_ptr<Recordset> AbreModelo(const ModeloSql& m, std::initializer_list<std::string_view> v,
                                        int tipo) override {
    log_->emplace_back(m.Texto(v), tipo);
    return DatabaseWrapper::AbreModelo(m, v, tipo);
  }

 private:
  std::vector<std::pair<std::string, int>>* log_;
};

std::vector<std::pair<std::string, int>> ComandosDaVerificacao(int n) {
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
    controle.Verifica(false);
  }
  host::RegistraComponentes();
  ReiniciaEstado();
  return log;
}

// A bare connection with a list of prepared statements and their parameters.
class Bruto {
 public:
  explicit Bruto(const std::string& banco) {
    sqlite3_open_v2(banco.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
  }
  ~Bruto() {
    for (auto& [t, s] : porTexto_) sqlite3_finalize(s);
    sqlite3_close_v2(db_);
  }
  void Adiciona(const std::string& texto, std::vector<long long> parametros) {
    sqlite3_stmt*& s = porTexto_[texto];
    if (!s) sqlite3_prepare_v2(db_, texto.c_str(), -1, &s, nullptr);
    ps_.push_back({s, std::move(parametros)});
  }
  // Runs every statement to its end inside one read transaction, every column of every row read.
  long Roda() {
    long linhas = 0;
    sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr);
    for (auto& [stmt, parametros] : ps_) {
      for (size_t i = 0; i < parametros.size(); ++i)
        sqlite3_bind_int64(stmt, static_cast<int>(i + 1), parametros[i]);
      while (sqlite3_step(stmt) == SQLITE_ROW) {
        int c = sqlite3_column_count(stmt);
        for (int i = 0; i < c; ++i) linhas += sqlite3_column_type(stmt, i) != SQLITE_NULL;
      }
      sqlite3_reset(stmt);
    }
    sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    return linhas;
  }

 private:
  sqlite3* db_ = nullptr;
  std::map<std::string, sqlite3_stmt*> porTexto_;
  std::vector<std::pair<sqlite3_stmt*, std::vector<long long>>> ps_;
};

std::unique_ptr<Bruto> Piso(int n) {
  auto b = std::make_unique<Bruto>(Banco(n));
  for (auto& [sql, tipo] : ComandosDaVerificacao(n)) {
    SqlAdaptado a = AdaptaJet(sql, tipo == kDynaset);
    b->Adiciona(a.texto, a.parametros);
  }
  return b;
}

// Every row of the declaration read once: what any design that reads the data must pay.
std::unique_ptr<Bruto> LeituraUnicaDosDados(int n) {
  auto b = std::make_unique<Bruto>(Banco(n));
  long long d = DeclaracaoLimpa(n);
  for (const char* t : {"tblDeclaração", "tblEntradas", "tblSaídas", "tblDetalhesInterUFs", "tblTOVIR"})
    b->Adiciona(std::string("SELECT * FROM \"") + t + "\" WHERE Declaração = ?", {d});
  b->Adiciona("SELECT * FROM tblContribuinte WHERE IE = ?", {100000000 + d});
  return b;
}

// The command line of lote over `banco` with `tarefas` workers.
std::vector<std::string> Lote(const std::string& programa, const std::string& banco, int tarefas) {
  return {programa, "lote", "--banco", banco, "--exercicio", "2002", "--tarefas", std::to_string(tarefas),
          "--json"};
}

// lote over the portfolio of 20 files of 50 declarations against one file of 1,000, both with two
// workers, in `vezes` turns; also the peak memory with 20 and with 40 files.
void MedeCarteira(int vezes, std::map<std::string, std::vector<double>>& razoes,
                  std::map<std::string, std::vector<double>>& valores) {
  const std::string programa = KV_PROGRAMA, um = Banco(1000), vinte = PastaDeCarteira(20, 50),
                    quarenta = PastaDeCarteira(40, 50);
  auto lote = [&](const std::string& caminho) {
    return std::vector<std::string>{programa, "lote", "--exercicio", "2002", "--tarefas", "2", caminho};
  };
  std::vector<double> r;
  Processo p20{}, p40{};
  for (int vez = 0; vez < vezes; ++vez) {
    p20 = Executa(lote(vinte));
    r.push_back(p20.segundos / Executa(lote(um)).segundos);
  }
  p40 = Executa(lote(quarenta));
  razoes["lote 20 arquivos de 50 / 1 arquivo de 1.000 (2 tarefas)"].push_back(Mediana(r));
  valores["lote 20 arquivos de 50: pico de memória (MB)"].push_back(p20.picoKb / 1024.0);
  valores["lote 40 arquivos de 50: pico de memória (MB)"].push_back(p40.picoKb / 1024.0);
}

// Two variants alternating in six short turns, so that both sides of each ratio see the same load: the
// seconds per call of the first and the median of the six ratios first / second.
std::pair<double, double> Alterna(const std::function<void()>& a, const std::function<void()>& b) {
  a();  // warm: connection, statements, settings
  b();
  std::vector<double> razoes;
  double total = 0;
  for (int vez = 0; vez < 6; ++vez) {
    double t = Cada(50, a);
    razoes.push_back(t / Cada(50, b));
    total += t;
  }
  return {total / 6, Mediana(razoes)};
}

// A check of `declaracao` in `banco`, on a control made once. The declaration is set before each check:
// the module keeps one current declaration per thread.
std::function<void()> Checagem(const std::string& banco, int declaracao) {
  auto controle = std::make_shared<ControleConsistencia>();
  return [=] {
    Usa(banco);
    controle->DefineDeclaracao(Variant::Long(declaracao));
    // The outcome as every front end reads it; explanations are the front end's choice, not the check's.
    if (controle->Verifica(/*explica=*/false).erro) std::abort();
  };
}

// The floor of an import: every row of every user table read with libmdb alone, every column bound as
// libmdb's own tools read them (`ligado`), or only found and cracked, no value converted (the raw scan).
int PisoJet(const char* arquivo, bool ligado) {
  MdbHandle* mdb = mdb_open(arquivo, MDB_NOFLAGS);
  if (!mdb || !mdb_read_catalog(mdb, MDB_TABLE)) return 1;
  long linhas = 0;
  for (unsigned i = 0; i < mdb->num_catalog; ++i) {
    auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
    if (e->object_type != MDB_TABLE || mdb_is_system_table(e)) continue;
    MdbTableDef* t = mdb_read_table(e);
    mdb_read_columns(t);
    std::vector<std::vector<char>> valores(ligado ? t->num_cols : 0, std::vector<char>(MDB_BIND_SIZE));
    for (unsigned c = 0; c < valores.size(); ++c)
      mdb_bind_column(t, static_cast<int>(c + 1), valores[c].data(), nullptr);
    mdb_rewind_table(t);
    while (mdb_fetch_row(t)) ++linhas;
    mdb_free_tabledef(t);
  }
  mdb_close(mdb);
  std::printf("%ld\n", linhas);
  return 0;
}

// A ratio's median over the rounds, with the smallest and largest round.
void MostraFaixa(const std::string& nome, const std::vector<double>& v) {
  std::printf("  %-62s %6.2f  (rodadas: %.2f a %.2f)\n", nome.c_str(), Mediana(v),
              *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()));
}

}  // namespace

const char kUso[] =
    "uso: kv_bench [rodadas]                  todas as medidas, em rodadas (7; no mínimo 3)\n"
    "     kv_bench --so-razao R               só verificação / piso a 20.000 declarações, R rodadas\n"
    "     kv_bench --so-verificacao N [100]   só a verificação, N vezes (para um perfilador)\n"
    "     kv_bench --so-piso N [100]          só o piso, N vezes\n"
    "     kv_bench --so-carteira R            só lote de 20 arquivos de 50 contra um de 1.000, R rodadas\n"
    "KV_BENCH_ANTERIOR=programa compara também a linha de comando com a de outra compilação.\n";

int main(int argc, char** argv) {
  // Anything else than a number of rounds or a known option with its count gets the usage, not a run of
  // minutes.
  const std::string primeiro = argc > 1 ? argv[1] : "";
  const bool opcao = primeiro == "--so-piso" || primeiro == "--so-razao" || primeiro == "--so-verificacao" ||
                     primeiro == "--piso-jet" || primeiro == "--varredura-jet" || primeiro == "--so-carteira";
  if (opcao ? argc < 3 : argc > 2 || (argc == 2 && std::atoi(argv[1]) <= 0)) {
    const bool ajuda = primeiro == "--help" || primeiro == "-h";
    std::fputs(kUso, ajuda ? stdout : stderr);
    return ajuda ? 0 : 2;
  }
  if (argc == 3 && std::string(argv[1]) == "--piso-jet") return PisoJet(argv[2], true);
  if (argc == 3 && std::string(argv[1]) == "--varredura-jet") return PisoJet(argv[2], false);
  QTemporaryDir config;
  setenv("XDG_CONFIG_HOME", config.path().toUtf8().constData(), 1);
  setenv("XDG_CACHE_HOME", (config.path() + "/cache").toUtf8().constData(), 1);
  std::string pastaBin = QFileInfo(QString::fromLocal8Bit(argv[0])).absolutePath().toStdString();
  DefinePastaDeDados(pastaBin + "/../bench-dados");
  if (argc == 3 && std::string(argv[1]) == "--so-carteira") {
    std::map<std::string, std::vector<double>> razoes, valores;
    for (int r = 0; r < std::atoi(argv[2]); ++r) MedeCarteira(3, razoes, valores);
    for (const auto& m : {razoes, valores})
      for (const auto& [nome, v] : m) MostraFaixa(nome, v);
    return 0;
  }
  // For a profiler: only the check of a clean declaration, n times, on the database of 20,000 (or 100);
  // or only its floor.
  if (argc >= 3 && std::string(argv[1]) == "--so-piso") {
    host::RegistraComponentes();
    auto piso = Piso(argc > 3 && std::atoi(argv[3]) == 100 ? 100 : kGrande);
    std::printf("%.1f us por piso\n", 1e6 * Cada(std::atoi(argv[2]), [&] { piso->Roda(); }));
    return 0;
  }
  // Only the check against its floor at 20,000 declarations, `r` rounds: the quick figure while tuning.
  if (argc >= 3 && std::string(argv[1]) == "--so-razao") {
    host::RegistraComponentes();
    auto piso = Piso(kGrande);
    auto checagem = Checagem(Banco(kGrande), DeclaracaoLimpa(kGrande));
    std::vector<double> razoes;
    for (int r = 0; r < std::atoi(argv[2]); ++r)
      razoes.push_back(Alterna(checagem, [&] { piso->Roda(); }).second);
    std::printf("verificação / piso: %.2f (rodadas: %.2f a %.2f)\n", Mediana(razoes),
                *std::min_element(razoes.begin(), razoes.end()),
                *std::max_element(razoes.begin(), razoes.end()));
    return 0;
  }
  if (argc >= 3 && std::string(argv[1]) == "--so-verificacao") {
    host::RegistraComponentes();
    const int n = argc > 3 && std::atoi(argv[3]) == 100 ? 100 : kGrande;
    Usa(Banco(n));
    ControleConsistencia controle;
    controle.DefineDeclaracao(Variant::Long(DeclaracaoLimpa(n)));
    controle.Verifica(false);
    std::printf("%.1f us por verificação\n",
                1e6 * Cada(std::atoi(argv[2]), [&] { controle.Verifica(false); }));
    return 0;
  }
  const int rodadas = argc > 1 ? std::max(3, std::atoi(argv[1])) : 7;
  const char* anterior = std::getenv("KV_BENCH_ANTERIOR");
  const std::string programa = KV_PROGRAMA;
  host::RegistraComponentes();
  const std::string b100 = Banco(100), bGrande = Banco(kGrande), b2000 = Banco(2000);

  auto piso100 = Piso(100), pisoGrande = Piso(kGrande), leitura = LeituraUnicaDosDados(kGrande);
  // A declaration with findings, recorded consistent with a valid key: the check makes its key again.
  const std::string gravada = config.path().toStdString() + "/gravada.db";
  QFile::copy(QString::fromStdString(b100), QString::fromStdString(gravada));
  const std::string copia2000 = config.path().toStdString() + "/copia-2000.db";
  QFile::copy(QString::fromStdString(b2000), QString::fromStdString(copia2000));
  Usa(gravada);
  {
    Variant ie, ano = Variant::Long(2002), d = Variant::Long(10);
    Estado().declaracao = d;
    ConsisteKV().GeraConsistencia();
  }

  const long voltasCpu = 60'000'000;
  std::map<std::string, std::vector<double>> razoes, valores;
  std::vector<double> controles;
  for (int r = 1; r <= rodadas; ++r) {
    std::fprintf(stderr, "rodada %d de %d...\n", r, rodadas);
    double cpu = Cada(1, [&] { TrabalhoCpu(voltasCpu); });
    controles.push_back(cpu);
    auto [v100, porPiso100] = Alterna(Checagem(b100, DeclaracaoLimpa(100)), [&] { piso100->Roda(); });
    auto [vG, porPisoG] = Alterna(Checagem(bGrande, DeclaracaoLimpa(kGrande)), [&] { pisoGrande->Roda(); });
    double porLeituraG =
        Alterna(Checagem(bGrande, DeclaracaoLimpa(kGrande)), [&] { leitura->Roda(); }).second;
    double grandePorPequeno =
        Alterna(Checagem(bGrande, DeclaracaoLimpa(kGrande)), Checagem(b100, DeclaracaoLimpa(100))).second;
    double pisoGrandePorPequeno = Alterna([&] { pisoGrande->Roda(); }, [&] { piso100->Roda(); }).second;
    double gravadaPorComAchados = Alterna(Checagem(gravada, 10), Checagem(b100, 10)).second;
    // lote in three turns: one worker and at once the CPU-only process it is compared with, then two
    // workers and the CPU-only pair, then two one-worker processes at once, each on its own copy of the
    // database (what two checks at a time get from this machine with nothing shared between them). Each
    // turn gives its ratios and the round keeps their medians: one run of under a second is easily
    // disturbed on a shared machine.
    Processo l1{}, l2{};
    std::vector<double> rapidez, rapidezCpu, eficiencia, contraSeparados, contraAnterior;
    for (int vez = 0; vez < 3; ++vez) {
      l1 = Executa(Lote(programa, b2000, 1));
      if (anterior) contraAnterior.push_back(l1.segundos / Executa(Lote(anterior, b2000, 1)).segundos);
      double c1 = ParCpu(1, voltasCpu);
      l2 = Executa(Lote(programa, b2000, 2));
      double c2 = ParCpu(2, voltasCpu);
      double separados = ExecutaJuntos({Lote(programa, b2000, 1), Lote(programa, copia2000, 1)});
      rapidez.push_back(l1.segundos / l2.segundos);
      rapidezCpu.push_back(2 * c1 / c2);
      eficiencia.push_back(rapidez.back() / rapidezCpu.back());
      contraSeparados.push_back(separados / (2 * l2.segundos));
    }
    MedeCarteira(3, razoes, valores);
    // The import against libmdb's own reading of the same file, both as processes.
    const std::string proprio = pastaBin + "/kv_bench";
    for (const char* jet : {"gen50.mdb", "stress.mdb"}) {
      const std::string origem = std::string(KV_FIXTURES) + "/" + jet;
      if (!QFileInfo::exists(QString::fromStdString(origem))) continue;
      const std::string destino = config.path().toStdString() + "/importado.db";
      Processo piso = Executa({proprio, "--piso-jet", origem});
      Processo varredura = Executa({proprio, "--varredura-jet", origem});
      Processo importa = Executa({programa, "importar", origem, destino, "--substituir"});
      razoes[std::string("importar ") + jet + " / leitura com libmdb (colunas ligadas)"].push_back(
          importa.segundos / piso.segundos);
      razoes[std::string("importar ") + jet + " / varredura de linhas do libmdb (referência)"].push_back(
          importa.segundos / varredura.segundos);
      valores[std::string("importar ") + jet + ": pico de memória (MB)"].push_back(importa.picoKb / 1024.0);
      if (!anterior) continue;
      Processo antes = Executa({anterior, "importar", origem, destino, "--substituir"});
      if (antes.codigo == 0)  // a build from before the import has nothing to compare
        razoes[std::string("importar ") + jet + ": este / anterior"].push_back(importa.segundos /
                                                                               antes.segundos);
    }
    // One call of verificar, this build and the previous one in turn.
    double cli = 0, cliAnterior = 0;
    for (int i = 0; i < 20; ++i) {
      cli += Executa({programa, "verificar", "--banco", b100, "--declaracao", "10", "--exercicio", "2002"})
                 .segundos;
      if (anterior)
        cliAnterior +=
            Executa({anterior, "verificar", "--banco", b100, "--declaracao", "10", "--exercicio", "2002"})
                .segundos;
    }
    valores["verificação, 20.000 declarações (ms)"].push_back(vG * 1e3);
    valores["chamada de verificar (ms)"].push_back(cli / 20 * 1e3);
    valores["lote 2.000, 1 tarefa: pico de memória (MB)"].push_back(l1.picoKb / 1024.0);
    valores["lote 2.000, 2 tarefas: pico de memória (MB)"].push_back(l2.picoKb / 1024.0);
    razoes["verificação / piso numa transação, 20.000"].push_back(porPisoG);
    razoes["verificação / piso numa transação, 100"].push_back(porPiso100);
    razoes["verificação / leitura única dos dados, 20.000 (referência)"].push_back(porLeituraG);
    razoes["verificação 20.000 / verificação 100"].push_back(grandePorPequeno);
    razoes["piso 20.000 / piso 100 (referência)"].push_back(pisoGrandePorPequeno);
    razoes["gravada consistente com chave refeita / mesma sem chave"].push_back(gravadaPorComAchados);
    razoes["lote: 2 tarefas / 1 tarefa (velocidade)"].push_back(Mediana(rapidez));
    razoes["CPU: 2 processos / 1 processo (velocidade)"].push_back(Mediana(rapidezCpu));
    razoes["lote 2 tarefas / par de processos de CPU"].push_back(Mediana(eficiencia));
    razoes["lote 2 tarefas / 2 processos de lote de 1 tarefa (referência)"].push_back(
        Mediana(contraSeparados));
    if (anterior) {
      razoes["lote 1 tarefa (por verificação): este / anterior"].push_back(Mediana(contraAnterior));
      razoes["chamada de verificar: este / anterior"].push_back(cli / cliAnterior);
    }
  }

  MostraControle(rodadas, controles, "; as razões abaixo\npodem não valer. Repita com a máquina em repouso.");
  std::printf("\nMedianas das razões de cada rodada (e a menor e a maior)\n");
  for (const auto& [nome, v] : razoes) MostraFaixa(nome, v);
  std::printf("\nMedianas dos valores\n");
  for (const auto& [nome, v] : valores) std::printf("  %-62s %8.2f\n", nome.c_str(), Mediana(v));
  return 0;
}
