// The host's outside components: what the library asks of each, and what it passes them. The defaults
// are in host/.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/componentes.h"
#include "platform/db/banco.h"
#include "platform/exporta.h"
#include "platform/variant.h"

KV_PUBLICO_INICIO

namespace kv {

inline const std::string kClsidConexaoBanco = "{53E6060B-CB9C-4162-89DF-4536C4780637}";
inline const std::string kClsidFiltroReferencia = "{4DE706E1-EC21-402B-8E25-025435DC4D9D}";
inline const std::string kClsidRegistroDeclaracao = "{1DC422A9-5B6E-46D5-A7A5-BFFBC74E2CEA}";
inline const std::string kClsidArquivoCertificacao = "{19E74F5F-EBC4-474C-A952-1D73780E281B}";

// Each class is made by the component registry (CriaComo) under its CLSID; a host registers its own to
// replace the defaults of host/. Parameters passed by reference carry the caller's own variable: a
// component may read it and must not rely on changing it (the library ignores any change).

// Opens the declaration database.
class ConexaoBanco : public Componente {
 public:
  // The database at `caminho` (the settings' DbAtual), or null when it cannot be opened; other failures
  // raise Erro. Called by every rule of a check: a component should hand out one shared connection per
  // path and thread, cheaply, rather than open the file each time.
  virtual std::shared_ptr<Database> AbreBanco(std::string& caminho) = 0;
};

// Says which reference months the interstate rules examine.
class FiltroReferencia : public Componente {
 public:
  // The database the months come from (`caminho`: the settings' DbAtual), before the first month.
  virtual void InformaBanco(std::string& caminho) = 0;
  // The month about to be judged: `declaracao` is the control's Declaração property as the host set
  // it, `referencia` the month's Ref as stored.
  virtual void InformaReferencia(Variant& declaracao, const Variant& referencia) = 0;
  // For the month last informed, compared with 0: anything else means the month is examined.
  virtual Variant Resultado() = 0;
};

// Records a declaration's outcome.
class RegistroDeclaracao : public Componente {
 public:
  // The database, declaration, key and flag to record; each is set before Grava.
  virtual void DefineBanco(std::string& caminho) = 0;
  virtual void DefineDeclaracao(int32_t& declaracao) = 0;
  virtual void DefineChave(Variant& chave) = 0;  // not set when the flag recorded is false
  virtual void DefineConsistente(Variant& consistente) = 0;
  // Records the flag (and the key, or clears it when the flag is false) in one transaction; a failure
  // raises Erro and records nothing.
  virtual void Grava() = 0;
};

// Writes the file that the certification library seals into the key.
class ArquivoCertificacao : public Componente {
 public:
  // The file to write (created empty and private a moment before); `modo` is 1 and `reservado` -1.
  virtual void InformaArquivo(const std::string& caminho, int32_t& modo, int32_t& reservado) = 0;
  // Writes into that file the declaration's data that the key seals (`reservado` is -1). The same data
  // must give the same bytes, every time: a recorded key is checked by making it again. A failure raises
  // Erro.
  virtual void InformaDeclaracao(int32_t& declaracao, int32_t& reservado) = 0;
};

}  // namespace kv

KV_PUBLICO_FIM
