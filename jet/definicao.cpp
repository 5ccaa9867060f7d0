// libmdb takes a definition's column count on trust: a changed count shifts every column name after it,
// and the table arrives with fewer or other columns. So the count must agree with the column records
// and names that follow it, and every part with the length the definition records. Only what Jet never
// writes is refused: rows keep the columns deleted since, so a definition may describe fewer columns
// than a row holds, but never more than the most it records for a row, which Jet never lowers.
#include "jet/definicao.h"

#include <map>
#include <set>
#include <string>

#include "jet/decodifica.h"
#include "jet/quadros.h"

namespace kv::jet {
namespace {

Parada DefinicaoDanificada(const std::string& motivo) {
  return Parada("a definição da tabela " + motivo + " (arquivo danificado)");
}

// A table definition's bytes, read never past the length the definition records.
class Definicao {
 public:
  Definicao(std::string bytes, size_t comprimento) : b_(std::move(bytes)), comprimento_(comprimento) {}
  void Vai(size_t pos) {
    pos_ = 0;
    Pula(pos);
  }
  void Pula(uint64_t n) {
    if (n > comprimento_ - pos_)
      throw DefinicaoDanificada("passa dos " + std::to_string(comprimento_) + " bytes que registra");
    pos_ += static_cast<size_t>(n);
  }
  const unsigned char* Pega(size_t n) {
    Pula(n);
    return reinterpret_cast<const unsigned char*>(b_.data()) + pos_ - n;
  }
  unsigned U8() { return *Pega(1); }
  unsigned U16() { return jet::U16(Pega(2)); }
  uint32_t U32() { return jet::U32(Pega(4)); }
  size_t Lidos() const { return pos_; }
  size_t Comprimento() const { return comprimento_; }

 private:
  std::string b_;
  size_t comprimento_, pos_ = 0;
};

// The bytes of the definition on `pagina` as libmdb reads them: the first page whole, then what follows
// the 8-byte header of each next page, up to the length the definition records.
Definicao LeDefinicao(MdbHandle* mdb, unsigned long pagina) {
  const size_t tamanho = mdb->fmt->pg_size;
  if (mdb_read_pg(mdb, pagina) != static_cast<ssize_t>(tamanho))
    throw Parada("a definição da tabela não pôde ser lida");
  const size_t comprimento = U32(mdb->pg_buf + 8);
  std::string b(reinterpret_cast<const char*>(mdb->pg_buf), tamanho);
  std::set<unsigned long> vistas{pagina};
  while (b.size() < comprimento) {
    const unsigned long proxima = U32(mdb->pg_buf + 4);
    if (proxima == 0 || !vistas.insert(proxima).second ||
        mdb_read_pg(mdb, proxima) != static_cast<ssize_t>(tamanho))
      throw DefinicaoDanificada("continua além das suas páginas");
    b.append(reinterpret_cast<const char*>(mdb->pg_buf) + 8, tamanho - 8);
  }
  return Definicao(std::move(b), comprimento);
}

// Each column: its number (its bit in a row's null flags) and, when its length varies, its place in a
// row's table of offsets; neither shared. libmdb reads a row's variable-length columns only when the
// definition records some: with none, each would arrive as Null. A smaller count than the columns is no
// damage: an older writer left it so when it added a column, and libmdb reads those rows all the same.
void ConfereColunas(Definicao& d, const MdbFormatConstants& f, unsigned colunas, unsigned maximo,
                    unsigned variaveis) {
  std::set<unsigned> numeros, posicoes;
  for (unsigned c = 0; c < colunas; ++c) {
    const unsigned char* r = d.Pega(f.tab_col_entry_size);
    const unsigned numero = U16(r + f.col_num_offset);
    if (numero >= maximo)
      throw DefinicaoDanificada("dá a uma coluna o número " + std::to_string(numero) + ", fora das " +
                                std::to_string(maximo) + " colunas que uma linha pode ter");
    if (!numeros.insert(numero).second)
      throw DefinicaoDanificada("tem duas colunas com o número " + std::to_string(numero));
    const unsigned posicao = U16(r + f.tab_col_offset_var);
    if (!(r[f.col_flags_offset] & 0x01) && !posicoes.insert(posicao).second)
      throw DefinicaoDanificada("tem duas colunas de tamanho variável na posição " + std::to_string(posicao));
  }
  if (variaveis == 0 && !posicoes.empty())
    throw DefinicaoDanificada("não registra colunas de tamanho variável, mas descreve " +
                              std::to_string(posicoes.size()));
}

// The names, in the columns' order: Jet 3 gives each one byte of length and code page 1252, later
// versions two bytes and UTF-16. Jet compares them without regard to case and allows no two alike.
void ConfereNomes(Definicao& d, unsigned colunas, bool jet3) {
  const size_t largura = jet3 ? 1 : 2;
  std::map<std::string, std::string> nomes;
  for (unsigned c = 0; c < colunas; ++c) {
    const size_t n = jet3 ? d.U8() : d.U16();
    if (n == 0) throw DefinicaoDanificada("tem uma coluna sem nome");
    const unsigned char* p = d.Pega(n);
    if (n % largura != 0) throw DefinicaoDanificada("tem um nome de coluna inválido");
    std::string chave(reinterpret_cast<const char*>(p), n);
    for (size_t i = 0; i < n; i += largura) {
      const unsigned u = jet3 ? p[i] : U16(p + i);
      if (u == 0) throw DefinicaoDanificada("tem um nome de coluna inválido");
      if (u >= 'A' && u <= 'Z') chave[i] = static_cast<char>(u + ('a' - 'A'));
    }
    const auto [ja, novo] = nomes.emplace(chave, TextoJet(p, n, !jet3));
    if (!novo)
      throw DefinicaoDanificada("tem duas colunas chamadas " + ja->second + " e " + TextoJet(p, n, !jet3));
  }
}

}  // namespace

unsigned ConfereDefinicao(MdbHandle* mdb, unsigned long pagina) {
  const MdbFormatConstants& f = *mdb->fmt;
  const bool jet3 = mdb->f->jet_version == MDB_VER_JET3;
  Definicao d = LeDefinicao(mdb, pagina);
  // The counts side by side: the most columns a row may hold, the variable-length ones, all described.
  d.Vai(f.tab_num_cols_offset - 4u);
  const unsigned maximo = d.U16(), variaveis = d.U16(), colunas = d.U16();
  d.Vai(f.tab_num_idxs_offset);
  const uint32_t indices = d.U32(), reais = d.U32();
  if (colunas > maximo)
    throw DefinicaoDanificada("registra " + std::to_string(colunas) + " colunas, mais do que as " +
                              std::to_string(maximo) + " que uma linha pode ter");
  d.Vai(f.tab_cols_start_offset);
  d.Pula(uint64_t{reais} * f.tab_ridx_entry_size);
  ConfereColunas(d, f, colunas, maximo, variaveis);
  ConfereNomes(d, colunas, jet3);
  // Then the indexes and their names, and the page maps of long-value columns up to 0xFFFF.
  d.Pula(uint64_t{reais} * (jet3 ? 39 : 52) + uint64_t{indices} * (jet3 ? 20 : 28));
  for (uint32_t i = 0; i < indices; ++i) d.Pula(jet3 ? d.U8() : d.U16());
  while (d.U16() != 0xFFFF) d.Pula(8);
  // Jet 3 no longer changes, and the engine ends every definition exactly there; later versions keep
  // adding kinds of column, so their definitions need only hold their parts.
  if (jet3 && d.Lidos() != d.Comprimento())
    throw DefinicaoDanificada("registra " + std::to_string(d.Comprimento()) +
                              " bytes, mas as suas partes ocupam " + std::to_string(d.Lidos()));
  return maximo;
}

}  // namespace kv::jet
