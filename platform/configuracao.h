// Per-user settings by application, section and key (the host's settings store).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/exporta.h"

KV_PUBLICO_INICIO

namespace kv {

// The application whose settings the system reads and writes (KV.ini).
inline const std::string kApp = "KV";

class Configuracao {
 public:
  virtual ~Configuracao() = default;
  // A missing key reads as `padrao`. An unreadable settings file, or one that is not INI, raises Erro
  // naming the file (and the line).
  virtual std::string Le(const std::string& app, const std::string& secao, const std::string& chave,
                         const std::string& padrao) = 0;
  // Written through to disk at once, changing only that key's line; an unwritable or unreadable file
  // raises Erro naming the file, and the file is left as it was.
  virtual void Grava(const std::string& app, const std::string& secao, const std::string& chave,
                     const std::string& valor) = 0;
  // Picks up changes that another process made to the file.
  virtual void Recarrega() {}
};

// This thread's settings store: INI files under $XDG_CONFIG_HOME (application "KV" is KV.ini), with the
// values of this run (DefineValorDaExecucao) answered before the file.
Configuracao& Config();
// Replaces the store that threads create from now on (tests); null restores the default.
void DefineFabricaConfiguracao(std::function<std::unique_ptr<Configuracao>()> fabrica);
// The INI file of an application.
std::string ArquivoConfiguracao(const std::string& app);

// A value for the calling thread only, answered before this run's values: a batch worker that checks
// declarations of several databases names its current one. An empty `app` clears the thread's values.
void DefineValorDaThread(const std::string& app, const std::string& secao, const std::string& chave,
                         const std::string& valor);

// A value for this process only, held in memory and never written to the file: reads of that key answer
// it (a command line's --banco). A write the system itself makes to the key still goes to the file and
// becomes this thread's value. Call before the threads that read it start; an empty `app` clears them all.
void DefineValorDaExecucao(const std::string& app, const std::string& secao, const std::string& chave,
                           const std::string& valor);

}  // namespace kv

KV_PUBLICO_FIM
