// Statement models: the rules' statements as fixed text with slots, each slot either a value that is bound
// or a text that is spliced in.
#pragma once

#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/banco.h"

namespace kv {

// A slot of a model. A Valor is a whole number that stands where a literal may stand (a declaration, a
// month): a connection binds it, so one prepared statement serves every number. A Texto is spliced into
// the statement (a table name, a quoted code): each different text is a statement of its own.
enum class Vaga { Valor, Texto };

// One piece of a model as written: fixed text or a slot.
struct ParteSql {
  ParteSql(const char* t) : texto(t) {}  // NOLINT: pieces are written as plain literals
  ParteSql(Vaga v) : vaga(v) {}          // NOLINT
  std::string_view texto;
  std::optional<Vaga> vaga;
};

// A statement such as {"SELECT * FROM ", Vaga::Texto, " WHERE (Declaração = ", Vaga::Valor, ")"}. Every
// database sees the whole text, values spliced in; our own connection prepares it once and binds the
// values. Build each model once (a static): a connection keeps what it learnt of it by its id.
class ModeloSql {
 public:
  ModeloSql(std::initializer_list<ParteSql> partes);
  // `prefixo` put before the first piece of `resto`.
  ModeloSql(std::string_view prefixo, const ModeloSql& resto);
  ModeloSql(const ModeloSql&) = delete;
  ModeloSql& operator=(const ModeloSql&) = delete;

  // The whole text with `valores`, one per slot in order (another count is a programming error:
  // std::logic_error).
  std::string Texto(std::initializer_list<std::string_view> valores) const;
  // The text the connection adapts: Texto slots spliced, each Valor slot as a marker that the Jet adapter
  // turns into a parameter (see AdaptaJet).
  std::string TextoComMarcas(std::initializer_list<std::string_view> valores) const;
  const std::vector<Vaga>& vagas() const { return vagas_; }
  // Different for every model the process builds.
  size_t id() const { return id_; }

 private:
  void Confere(size_t valores) const;
  std::vector<std::string> fixos_;  // one more than the slots: fixos_[0] slot[0] fixos_[1] ...
  std::vector<Vaga> vagas_;
  size_t id_;
};

// Opens a recordset on the model with these values (Database::AbreModelo).
inline std::unique_ptr<Recordset> AbreModelo(Database& banco, const ModeloSql& modelo,
                                             std::initializer_list<std::string_view> valores,
                                             int tipo = kSnapshot) {
  return banco.AbreModelo(modelo, valores, tipo);
}

}  // namespace kv
