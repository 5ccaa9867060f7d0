// The pipe format of the Jet reader: building frames in the child, checking them in the parent.
#include "jet/quadros.h"

#include <cstring>
#include <set>

#include "platform/texto.h"

namespace kv::jet {
namespace {

// The declared types the child may name: they are written into CREATE TABLE as they stand.
const std::set<std::string, std::less<>> kTiposSql = {"BOOLEAN",  "TINYINT", "SMALLINT", "INTEGER",
                                                      "CURRENCY", "REAL",    "DOUBLE",   "DATETIME",
                                                      "BLOB",     "NUMERIC", "TEXT"};
constexpr uint32_t kMaisColunas = 4096;  // Jet allows 255

// Reads a frame's body; every read is checked against what is left.
class Corpo {
 public:
  explicit Corpo(std::string_view b) : b_(b) {}
  uint8_t U8() { return static_cast<uint8_t>(Pega(1)[0]); }
  uint32_t U32() {
    std::string_view p = Pega(4);
    uint32_t v = 0;
    for (int k = 3; k >= 0; --k) v = (v << 8) | static_cast<uint8_t>(p[static_cast<size_t>(k)]);
    return v;
  }
  int64_t I64() {
    std::string_view p = Pega(8);
    uint64_t v = 0;
    for (int k = 7; k >= 0; --k) v = (v << 8) | static_cast<uint8_t>(p[static_cast<size_t>(k)]);
    return static_cast<int64_t>(v);
  }
  std::string Texto() { return std::string(Pega(U32())); }
  // A name of a table or column: not empty, no NUL (it goes into SQL as a quoted identifier).
  std::string Nome(const char* de) {
    std::string n = Texto();
    if (n.empty() || n.find('\0') != std::string::npos)
      throw Parada(std::string("nome de ") + de + " inválido");
    return n;
  }
  void Fim() const {
    if (!b_.empty()) throw Parada("quadro do leitor com bytes a mais");
  }

 private:
  std::string_view Pega(size_t n) {
    if (n > b_.size()) throw Parada("quadro do leitor mais curto do que diz");
    std::string_view p = b_.substr(0, n);
    b_.remove_prefix(n);
    return p;
  }
  std::string_view b_;
};

Valor LeValor(Corpo& c) {
  Valor v;
  const uint8_t tipo = c.U8();
  if (tipo > static_cast<uint8_t>(Valor::Tipo::Bytes)) throw Parada("tipo de valor desconhecido no quadro");
  v.tipo = static_cast<Valor::Tipo>(tipo);
  switch (v.tipo) {
    case Valor::Tipo::Nulo:
      break;
    case Valor::Tipo::Inteiro:
    case Valor::Tipo::Moeda:
      v.i = c.I64();
      break;
    case Valor::Tipo::Duplo: {
      const int64_t bits = c.I64();
      std::memcpy(&v.d, &bits, sizeof v.d);
      break;
    }
    case Valor::Tipo::Texto:
    case Valor::Tipo::Bytes:
      v.t = c.Texto();
  }
  return v;
}

// The user tables' names (K): at least one.
std::vector<std::string> LeCatalogo(Corpo& c) {
  // The count is untrusted: each name is read (and its length checked) before it is kept.
  std::vector<std::string> nomes;
  for (uint32_t k = 0, n = c.U32(); k < n; ++k) nomes.push_back(c.Nome("tabela"));
  c.Fim();
  if (nomes.empty()) throw Parada("o catálogo não tem nenhuma tabela (arquivo danificado)");
  return nomes;
}

// One table's definition (D): a row count that can be, columns of the types CREATE TABLE may get.
Tabela LeDefinicao(Corpo& c) {
  Tabela t;
  t.nome = c.Nome("tabela");
  t.linhas = c.I64();
  const uint32_t n = c.U32();
  if (t.linhas < 0) throw Parada("número de linhas negativo na definição");
  if (n == 0 || n > kMaisColunas) throw Parada("a definição tem " + std::to_string(n) + " colunas");
  for (uint32_t k = 0; k < n; ++k) {
    Coluna col{c.Nome("coluna"), c.Texto()};
    if (!kTiposSql.count(col.tipoSql)) throw Parada("tipo de coluna desconhecido");
    t.colunas.push_back(std::move(col));
  }
  c.Fim();
  return t;
}

// One row (R) of a table with `colunas` columns.
std::vector<Valor> LeLinha(Corpo& c, size_t colunas) {
  if (c.U32() != colunas) throw Parada("linha com um número de colunas diferente da definição");
  std::vector<Valor> valores;
  valores.reserve(colunas);
  for (size_t k = 0; k < colunas; ++k) valores.push_back(LeValor(c));
  c.Fim();
  return valores;
}

}  // namespace

Quadro::Quadro(char tipo) {
  b_.assign(5, '\0');
  b_[0] = tipo;
}

Quadro& Quadro::U32(uint32_t v) {
  for (int k = 0; k < 4; ++k) b_ += static_cast<char>((v >> (8 * k)) & 0xFF);
  return *this;
}

Quadro& Quadro::I64(int64_t v) {
  const auto u = static_cast<uint64_t>(v);
  for (int k = 0; k < 8; ++k) b_ += static_cast<char>((u >> (8 * k)) & 0xFF);
  return *this;
}

Quadro& Quadro::Texto(std::string_view s) {
  U32(static_cast<uint32_t>(s.size()));
  b_.append(s);
  return *this;
}

Quadro& Quadro::Linha(const std::vector<Valor>& valores) {
  U32(static_cast<uint32_t>(valores.size()));
  for (const Valor& v : valores) {
    b_ += static_cast<char>(v.tipo);
    switch (v.tipo) {
      case Valor::Tipo::Nulo:
        break;
      case Valor::Tipo::Inteiro:
      case Valor::Tipo::Moeda:
        I64(v.i);
        break;
      case Valor::Tipo::Duplo: {
        int64_t bits = 0;
        std::memcpy(&bits, &v.d, sizeof bits);
        I64(bits);
        break;
      }
      case Valor::Tipo::Texto:
      case Valor::Tipo::Bytes:
        Texto(v.t);
    }
  }
  return *this;
}

Quadro& Quadro::Definicao(const Tabela& t) {
  Texto(t.nome).I64(t.linhas).U32(static_cast<uint32_t>(t.colunas.size()));
  for (const Coluna& c : t.colunas) Texto(c.nome).Texto(c.tipoSql);
  return *this;
}

const std::string& Quadro::Bytes() {
  const auto n = static_cast<uint32_t>(b_.size() - 5);
  for (int k = 0; k < 4; ++k) b_[static_cast<size_t>(1 + k)] = static_cast<char>((n >> (8 * k)) & 0xFF);
  return b_;
}

bool Separador::Proximo(char& tipo, std::string& corpo) {
  const size_t disponivel = pendente_.size() - inicio_;
  if (disponivel < 5) return false;
  uint32_t n = 0;
  for (int k = 4; k >= 1; --k)
    n = (n << 8) | static_cast<uint8_t>(pendente_[inicio_ + static_cast<size_t>(k)]);
  if (n > kMaiorQuadro) throw Parada("quadro do leitor maior do que o permitido");
  if (disponivel - 5 < n) return false;
  tipo = pendente_[inicio_];
  corpo.assign(pendente_, inicio_ + 5, n);
  inicio_ += 5 + size_t{n};
  // Drop what was read once it is most of the buffer, so a long stream keeps a small buffer.
  if (inicio_ > (1u << 16) && inicio_ * 2 > pendente_.size()) {
    pendente_.erase(0, inicio_);
    inicio_ = 0;
  }
  return true;
}

std::string Receptor::Onde() const {
  if (fase_ == Fase::Catalogo) return "o catálogo de tabelas";
  const size_t i = fase_ == Fase::Definicoes ? tabelas_.size() : atual_;
  if (i >= nomes_.size()) return "o fim do arquivo";
  return "a tabela " + TextoVisivel(nomes_[i]);
}

void Receptor::Recebe(char tipo, std::string_view bytes) {
  Corpo c(bytes);
  auto exige = [&](Fase f) {
    if (fase_ != f)
      throw Parada(std::string("quadro '") + TextoVisivel(std::string(1, tipo)) + "' fora de ordem");
  };
  switch (tipo) {
    case 'E':
      throw Parada(c.Texto());
    case 'K':
      exige(Fase::Catalogo);
      nomes_ = LeCatalogo(c);
      fase_ = Fase::Definicoes;
      return;
    case 'D':
      exige(Fase::Definicoes);
      tabelas_.push_back(LeDefinicao(c));
      if (tabelas_.back().nome != nomes_[tabelas_.size() - 1])
        throw Parada("definição de uma tabela fora do catálogo");
      if (tabelas_.size() == nomes_.size()) {
        destino_.Tabelas(tabelas_);
        fase_ = Fase::Linhas;
      }
      return;
    case 'R':
      exige(Fase::Linhas);
      ContaLinha(LeLinha(c, tabelas_[atual_].colunas.size()));
      return;
    case 'F':
      exige(Fase::Linhas);
      FimDeTabela(c.I64());
      c.Fim();
      return;
    case 'Z':
      exige(Fase::Final);
      c.Fim();
      fase_ = Fase::Fim;
      return;
    default:
      throw Parada("quadro de tipo desconhecido");
  }
}

void Receptor::ContaLinha(const std::vector<Valor>& valores) {
  const Tabela& t = tabelas_[atual_];
  if (++linhas_ > t.linhas)
    throw Parada("há mais linhas do que as " + std::to_string(t.linhas) + " que o arquivo registra");
  destino_.Linha(atual_, valores);
}

void Receptor::FimDeTabela(int64_t lidas) {
  if (lidas != linhas_) throw Parada("contagem de linhas do leitor diferente das linhas recebidas");
  if (linhas_ != tabelas_[atual_].linhas)
    throw Parada("o arquivo registra " + std::to_string(tabelas_[atual_].linhas) + " linhas, mas só " +
                 std::to_string(linhas_) + " puderam ser lidas (arquivo danificado)");
  linhas_ = 0;
  if (++atual_ == tabelas_.size()) fase_ = Fase::Final;
}

}  // namespace kv::jet
