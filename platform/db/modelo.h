// Statement texts that differ only in their values, given as fixed pieces with the values between them.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/banco.h"

namespace kv {

// A text made of fixed pieces with a value between each two: fixos[0] valor[0] fixos[1] ... fixos[n].
// Rules write their statements this way so that a connection that has read a model's shape once binds
// the values of later calls without scanning and hashing the text again. Build each model once (a
// static): every model takes a slot of its own in each connection that opens it.
class ModeloSql {
 public:
  ModeloSql(std::initializer_list<std::string_view> fixos);
  // `prefixo` put before the first piece of `resto`.
  ModeloSql(std::string_view prefixo, const ModeloSql& resto);
  ModeloSql(const ModeloSql&) = delete;
  ModeloSql& operator=(const ModeloSql&) = delete;

  // The whole text for these values, into `texto` (its buffer reused). The number of values must be
  // one less than the number of fixed pieces.
  void Texto(std::initializer_list<std::string_view> valores, std::string& texto) const;
  std::string Texto(std::initializer_list<std::string_view> valores) const;
  const std::vector<std::string>& fixos() const { return fixos_; }
  // Different for every model the process builds: what a connection remembers a shape by.
  size_t id() const { return id_; }

 private:
  std::vector<std::string> fixos_;
  size_t tamanhoFixo_ = 0;
  size_t id_;
};

// Opens a recordset on the model's text with these values: the same recordset OpenRecordset gives for
// that text. A connection of ours skips reading the text again when the text values are those it saw
// with this model before and the others are plain whole numbers; any other Database gets the text.
std::unique_ptr<Recordset> AbreModelo(Database& banco, const ModeloSql& modelo,
                                      std::initializer_list<std::string_view> valores, int tipo = kSnapshot);

}  // namespace kv
