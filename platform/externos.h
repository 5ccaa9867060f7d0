// Interfaces of the host's outside components, called by the library and implemented in host/.
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

class ConexaoBanco : public Componente {
 public:
  // The database named by `caminho`, or null when it cannot be opened. Other failures raise Erro.
  virtual std::shared_ptr<Database> AbreBanco(std::string& caminho) = 0;
};

class FiltroReferencia : public Componente {
 public:
  virtual void InformaBanco(std::string& caminho) = 0;
  virtual void InformaReferencia(Variant& declaracao, const Variant& referencia) = 0;
  // Compared with 0: anything else means the month is examined.
  virtual Variant Resultado() = 0;
};

class RegistroDeclaracao : public Componente {
 public:
  virtual void DefineBanco(std::string& caminho) = 0;
  virtual void DefineDeclaracao(int32_t& declaracao) = 0;
  virtual void DefineChave(Variant& chave) = 0;
  virtual void DefineConsistente(Variant& consistente) = 0;
  // Records the flag (and the key, or clears it when the flag is false) in one transaction.
  virtual void Grava() = 0;
};

class ArquivoCertificacao : public Componente {
 public:
  virtual void InformaArquivo(const std::string& caminho, int32_t& modo, int32_t& reservado) = 0;
  // Writes the file to be certified for the declaration.
  virtual void InformaDeclaracao(int32_t& declaracao, int32_t& reservado) = 0;
};

}  // namespace kv

KV_PUBLICO_FIM
