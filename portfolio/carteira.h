// A portfolio: every declaration of many databases and folders, checked on worker threads and handed
// over in order. What a host needs to list the status of every declaration it keeps.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "control/resultado.h"
#include "platform/exporta.h"

KV_PUBLICO_INICIO

namespace kv {

class PastaTemporaria;

struct ArquivoDaCarteira {
  std::string nome;     // as the output names it: the path given, or found in a folder
  std::string caminho;  // what the checks read: the file itself, or a Jet file's temporary copy
  bool jet = false;
  std::optional<ErroVerificacao> erro;  // why the file cannot be checked (its one line; the others go on)
  bool erroDeUso = false;               // the error is in how it was named (no database), not damage
  std::vector<std::string> declaracoes;
};

class Carteira {
 public:
  // Finds the files: each path a file (of any name) or a folder, searched through its subfolders for
  // .db, .sqlite, .mdb and .accdb (links are not followed; every file counts once, by its identity; a
  // subfolder that cannot be read is a file with its error). Names are kept byte for byte. A path that
  // does not exist, or nothing found at all, is an ErroDeUso.
  explicit Carteira(const std::vector<std::string>& caminhos);
  ~Carteira();
  Carteira(const Carteira&) = delete;
  Carteira& operator=(const Carteira&) = delete;

  // One file named directly: a run behaves as a check of that one database.
  bool Unica() const { return unica_; }
  // Reads each file: a Jet file into a private temporary copy (opened read-only, removed with the
  // portfolio), then the declarations; a file that cannot be checked keeps its reason. False when
  // `cancela` or a signal (SIGINT, SIGTERM, SIGHUP) stopped a Jet read: nothing is left of it.
  // `progresso` is told of each file as it is read.
  bool Prepara(const std::function<void(size_t feitos, size_t total)>& progresso = {},
               const std::atomic<bool>* cancela = nullptr);
  const std::vector<ArquivoDaCarteira>& arquivos() const { return arquivos_; }
  size_t Declaracoes() const;

 private:
  // A Jet file read into its copy; false when the read was stopped. A file that is no Jet file after all
  // keeps its error.
  bool Copia(ArquivoDaCarteira& a, size_t i, const std::atomic<bool>* cancela);
  std::vector<ArquivoDaCarteira> arquivos_;
  bool unica_ = false;
  std::unique_ptr<PastaTemporaria> copias_;  // made with the first Jet copy
};

struct OpcoesDaCarteira {
  unsigned tarefas = 0;         // declarations checked at once; 0: one per core
  bool explica = false;         // each item's explanation and figures (for a report)
  bool somenteLeitura = false;  // every database opened read-only (Jet copies always are)
  bool conferirChaves = false;  // also check the recorded keys of declarations without findings
  std::string exercicio{};      // the fiscal year for the workers; "" reads the settings
};

// One result, in the portfolio's order: a declaration checked, or the line of a file that cannot be read.
struct ResultadoDaCarteira {
  size_t arquivo = 0;                               // its index in Carteira::arquivos()
  std::optional<ResultadoVerificacao> verificacao;  // none: the file could not be read (its erro)
};

// What a run checked of one file.
struct ResumoDoArquivo {
  long consistentes = 0, inconsistentes = 0, falhas = 0;
  bool ilegivel = false;
  std::map<std::string, long> porTipo;
  // Unreadable, or a declaration that failed or is inconsistent.
  bool Problema() const { return ilegivel || falhas || inconsistentes; }
};

// What a run checked, counted as the results were handed over.
struct ResumoDaCarteira {
  long total = 0, verificadas = 0, consistentes = 0, inconsistentes = 0, falhas = 0;
  long avisos = 0;     // declarations whose recorded flag or key does not stand
  long ilegiveis = 0;  // files that could not be read at all
  std::map<std::string, long> porGrupo, porTipo;
  std::map<size_t, ResumoDoArquivo> arquivos;  // per file reached, by index
  bool interrompido = false;

  void Conta(const ResultadoDaCarteira& r);
  // The files with problems, by index, in the order of the run.
  std::vector<size_t> ComProblema() const;
  // Each kind of finding by its count, the most frequent first.
  std::vector<std::pair<std::string, long>> TiposPorQuantidade() const;
};

// Checks every declaration of the prepared portfolio on worker threads, each with its own module state,
// and hands each result to `entrega` in order, on the calling thread, as it becomes ready. When
// `cancela` becomes true no declaration is begun; those in progress are handed over and the summary says
// the run was interrupted.
ResumoDaCarteira VerificaCarteira(const Carteira& carteira, const OpcoesDaCarteira& opcoes,
                                  const std::function<void(ResultadoDaCarteira&)>& entrega,
                                  const std::atomic<bool>* cancela = nullptr);

// For a host: finds and reads the files, then checks them all (VerificaCarteira).
ResumoDaCarteira VerificaCarteira(
    const std::vector<std::string>& caminhos, const OpcoesDaCarteira& opcoes,
    const std::function<void(const ArquivoDaCarteira&, ResultadoDaCarteira&)>& entrega,
    const std::atomic<bool>* cancela = nullptr);

}  // namespace kv

KV_PUBLICO_FIM
