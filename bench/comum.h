// What the benchmark programs share: the databases and portfolios they generate (once, kept beside the
// build), programs started and timed, the CPU-only control and medians.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace kv::bench {

using Relogio = std::chrono::steady_clock;

double Segundos(Relogio::time_point desde);

// Where the generated data is kept; made when missing.
void DefinePastaDeDados(const std::string& pasta);
// A database of `declaracoes` with the reference schema and its indexes: each declaration has 12 months
// of entries and exits, interstate detail for 10 states, 60 TOVIR rows and its taxpayer; one in ten has
// findings of every group, one in a hundred no monthly entries.
std::string Banco(int declaracoes);
// A folder of `arquivos` copies of the database of `declaracoes`: a portfolio of as many firms.
std::string PastaDeCarteira(int arquivos, int declaracoes);

// Work that touches no file and takes no lock: the control of every round.
void TrabalhoCpu(long voltas);

struct Processo {
  double segundos;
  long picoKb;
  int codigo;  // exit code, or -1 when a signal ended it
};
// Starts a program, standard output discarded.
pid_t Lanca(const std::vector<std::string>& args);
// Runs a program to its end.
Processo Executa(const std::vector<std::string>& args);
// Runs programs at once: the seconds until the last one ends.
double ExecutaJuntos(const std::vector<std::vector<std::string>>& comandos);
// `n` processes doing the same CPU work at once: the seconds until the last one ends.
double ParCpu(int n, long voltas);
// Seconds per call of `f`, over `vezes` calls.
double Cada(int vezes, const std::function<void()>& f);

double Mediana(std::vector<double> v);
// The CPU-only control's spread over the rounds; above 25%, a warning that the machine was too busy,
// then `conselho` (what to make of the figures).
void MostraControle(int rodadas, const std::vector<double>& controle, const char* conselho);

}  // namespace kv::bench
