// The pipe format between the Jet reader's child and the importing process: frames of one kind byte,
// a 4-byte little-endian length and that many bytes. The child writes them; the parent reads them as
// untrusted input, checking every length against the frame it comes in and the order of the frames:
//   K  the catalog: the user tables' names           D  one table's definition, in catalog order
//   R  one row of the current table                  F  the current table ends (rows the child read)
//   E  the child stopped: why                        Z  the whole file was read
// K, then a D for every name, then for each table its R frames and one F, then Z.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "jet/leitor.h"

namespace kv::jet {

inline constexpr uint32_t kMaiorQuadro = 256u << 20;

// Why the read stopped: a frame that breaks the format, what the child reported, or a table whose rows
// do not add up to what the file records. The text says what was wrong, without the place.
struct Parada : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Builds one frame.
class Quadro {
 public:
  explicit Quadro(char tipo);
  Quadro& U32(uint32_t v);
  Quadro& I64(int64_t v);
  Quadro& Texto(std::string_view s);
  Quadro& Linha(const std::vector<Valor>& valores);
  Quadro& Definicao(const Tabela& t);
  // The frame's bytes, header included.
  const std::string& Bytes();

 private:
  std::string b_;
};

// The frames in a stream of bytes that arrives in pieces.
class Separador {
 public:
  void Junta(std::string_view bytes) { pendente_.append(bytes); }
  // The next whole frame, if one has arrived. A length over kMaiorQuadro raises Parada.
  bool Proximo(char& tipo, std::string& corpo);
  bool Vazio() const { return inicio_ == pendente_.size(); }

 private:
  std::string pendente_;
  size_t inicio_ = 0;
};

// The parent's side: checks each frame and hands what it carries to the destination.
class Receptor {
 public:
  explicit Receptor(Destinatario& destino) : destino_(destino) {}
  // Raises Parada for a malformed frame, one out of order, what the child reported (E) and a table whose
  // rows do not add up to what the file records.
  void Recebe(char tipo, std::string_view corpo);
  bool Concluido() const { return fase_ == Fase::Fim; }
  // What was being read: "o catálogo de tabelas" or "a tabela X" (name shown safely).
  std::string Onde() const;

 private:
  void ContaLinha(const std::vector<Valor>& valores);  // a row counted against its table's definition
  void FimDeTabela(int64_t lidas);                     // a table ends with the rows it records
  enum class Fase { Catalogo, Definicoes, Linhas, Final, Fim } fase_ = Fase::Catalogo;
  Destinatario& destino_;
  std::vector<std::string> nomes_;
  std::vector<Tabela> tabelas_;
  size_t atual_ = 0;
  long long linhas_ = 0;
};

}  // namespace kv::jet
