// Per-user settings by application, section and key (the host's settings store).
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace kv {

class Configuracao {
 public:
  virtual ~Configuracao() = default;
  // A missing key reads as `padrao`. An unreadable settings file raises Erro naming the file.
  virtual std::string Le(const std::string& app, const std::string& secao, const std::string& chave,
                         const std::string& padrao) = 0;
  // Written through to disk at once; an unwritable file raises Erro naming the file.
  virtual void Grava(const std::string& app, const std::string& secao, const std::string& chave,
                     const std::string& valor) = 0;
  // Picks up changes that another process made to the file.
  virtual void Recarrega() {}
};

// This thread's settings store: INI files under $XDG_CONFIG_HOME (application "KV" is KV.ini).
Configuracao& Config();
// Replaces the store that threads create from now on (tests); null restores the default.
void DefineFabricaConfiguracao(std::function<std::unique_ptr<Configuracao>()> fabrica);
// The INI file of an application.
std::string ArquivoConfiguracao(const std::string& app);

}  // namespace kv
