// The recordset: stepping a statement or a dynaset's copied rows, and where a field is read and its
// stored value turned into a Variant by the column's declared type.
#include <cstdint>

#include "platform/db/colacao.h"
#include "platform/db/conexao.h"
#include "platform/erro.h"
#include "platform/texto.h"

namespace kv {
namespace {

std::string Bytes(sqlite3_value* v) {
  const void* p = sqlite3_value_type(v) == SQLITE_BLOB ? sqlite3_value_blob(v)
                                                       : static_cast<const void*>(sqlite3_value_text(v));
  return std::string(static_cast<const char*>(p), static_cast<size_t>(sqlite3_value_bytes(v)));
}

// A whole number read where a whole number is wanted: Long when it fits, otherwise Double.
Variant Numero(double d) {
  if (d == static_cast<double>(static_cast<long long>(d)) && d >= INT32_MIN && d <= INT32_MAX)
    return Variant::Long(static_cast<int32_t>(d));
  return Variant::Dbl(d);
}

// A stored value as it is: Null, Double, String, or an integer as Long when it fits (else Double).
Variant Armazenado(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
      return Variant::Nulo();
    case SQLITE_FLOAT:
      return Variant::Dbl(sqlite3_value_double(v));
    case SQLITE_INTEGER: {
      const long long i = sqlite3_value_int64(v);
      return i >= INT32_MIN && i <= INT32_MAX ? Variant::Long(static_cast<int32_t>(i))
                                              : Variant::Dbl(static_cast<double>(i));
    }
    default:
      return Variant::Str(Bytes(v));
  }
}

// A stored value as the column's declared type reads it.
Variant ConverteValor(sqlite3_value* v, Classe c) {
  const int tipo = sqlite3_value_type(v);
  if (tipo == SQLITE_NULL) return Variant::Nulo();
  if (c == Classe::Moeda && tipo == SQLITE_FLOAT)
    return Variant::Cur(CurrencyDeDouble(sqlite3_value_double(v)));
  if (c == Classe::Moeda && tipo == SQLITE_INTEGER) {
    long long u;
    if (__builtin_mul_overflow(sqlite3_value_int64(v), 10000LL, &u)) ErroEstouro();
    return Variant::Cur(Currency{u});
  }
  // A BLOB is text only to a text column, or an amount's exact decimal text (see LigaMoeda).
  if (tipo == SQLITE_BLOB && c != Classe::Texto && c != Classe::Livre && c != Classe::Moeda) ErroTipos();
  const Variant bruto = Armazenado(v);
  switch (c) {
    case Classe::Moeda:
      return Variant::Cur(CCur(bruto));
    case Classe::Longo:
      return bruto.tipo() == Variant::Tipo::Long ? bruto : Numero(CDbl(bruto));
    case Classe::Inteiro:
      return Variant::Int(CInt(bruto));
    case Classe::Logico:
      return Variant::Bool(CDbl(bruto) != 0);
    case Classe::Duplo:
      return Variant::Dbl(CDbl(bruto));
    case Classe::Texto:
      return bruto.IsString() ? bruto : Variant::Str(CStr(bruto));
    case Classe::Livre:
      return bruto;
  }
  return bruto;
}

}  // namespace

void Liga(sqlite3_stmt* st, int i, const Variant& v) {
  switch (v.tipo()) {
    case Variant::Tipo::Null:
    case Variant::Tipo::Empty:
      sqlite3_bind_null(st, i);
      break;
    case Variant::Tipo::Currency:
      LigaMoeda(st, i, v.AsCurrency());
      break;
    case Variant::Tipo::Double:
      sqlite3_bind_double(st, i, v.AsDouble());
      break;
    case Variant::Tipo::String:
      sqlite3_bind_text(st, i, v.AsString().c_str(), static_cast<int>(v.AsString().size()), SQLITE_TRANSIENT);
      break;
    case Variant::Tipo::Boolean:
      sqlite3_bind_int64(st, i, v.AsBool() ? 1 : 0);
      break;
    default:
      sqlite3_bind_int64(st, i, v.AsInt());
  }
}

RecordsetSqlite::RecordsetSqlite(std::shared_ptr<BancoSqlite> banco, PoolDeComandos::Emprestimo p,
                                 std::string sql, std::string tabela, int tipo)
    : banco_(std::move(banco)),
      p_(std::move(p)),
      sql_(std::move(sql)),
      tabela_(std::move(tabela)),
      tipo_(tipo) {
  if (tipo_ == kDynaset) {
    Materializa();
  } else {
    Passo();
    p_->ConfereColunas();
  }
}

void RecordsetSqlite::Materializa() {
  for (bool primeiro = true;; primeiro = false) {
    const int rc = sqlite3_step(p_->stmt());
    if (primeiro) p_->ConfereColunas();
    if (rc == SQLITE_DONE) break;
    if (rc != SQLITE_ROW) ErroSqlite(banco_->db(), rc, sql_);
    std::vector<ValorCopiado> linha;
    linha.reserve(static_cast<size_t>(p_->colunas()));
    for (int c = 0; c < p_->colunas(); ++c) {
      linha.emplace_back(sqlite3_value_dup(sqlite3_column_value(p_->stmt(), c)));
      if (!linha.back()) throw std::bad_alloc();
    }
    linhasLidas_.push_back(std::move(linha));
  }
  // The statement stays ours until closed, though reset: no read transaction is held while Update
  // writes, and no one else's step can read its columns anew under the rows copied here.
  sqlite3_reset(p_->stmt());
  materializado_ = true;
  eof_ = linhasLidas_.empty();
  linhas_ = eof_ ? 0 : 1;
}

void RecordsetSqlite::Passo() {
  const int rc = sqlite3_step(p_->stmt());
  eof_ = rc != SQLITE_ROW;
  if (rc == SQLITE_ROW) ++linhas_;
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) ErroSqlite(banco_->db(), rc, sql_);
}

void RecordsetSqlite::MoveNext() {
  if (!p_ || eof_) throw Erro(kErroSemRegistroAtual, "Nenhum registro atual.");
  editando_ = false;
  if (!materializado_) return Passo();
  eof_ = ++posicao_ >= linhasLidas_.size();
  if (!eof_) ++linhas_;
}

sqlite3_value* RecordsetSqlite::Valor(int i) const {
  return materializado_ ? linhasLidas_[posicao_][static_cast<size_t>(i)].get()
                        : sqlite3_column_value(p_->stmt(), i);
}

Variant RecordsetSqlite::Campo(std::string_view nome) {
  if (!p_) throw Erro(kErroObjetoInvalido, "O objeto é inválido ou não está mais definido.");
  const int i = p_->Indice(nome);
  if (eof_) throw Erro(kErroSemRegistroAtual, "Nenhum registro atual.");
  try {
    return ConverteValor(Valor(i), p_->coluna(i).classe);
  } catch (const Erro& e) {
    // Say where: a bad stored value is the host's data to correct.
    throw Erro(e.numero(), e.descricao() + ": " + Onde(i));
  }
}

std::string RecordsetSqlite::Onde(int i) const {
  sqlite3_value* lido = Valor(i);
  const int tipo = sqlite3_value_type(lido);
  const Coluna& c = p_->coluna(i);
  std::string r = "campo " + c.nome;
  if (!c.tabela.empty()) r += " da tabela " + c.tabela;
  r += " com o valor \"" +
       (tipo == SQLITE_FLOAT     ? std::to_string(sqlite3_value_double(lido))
        : tipo == SQLITE_INTEGER ? std::to_string(sqlite3_value_int64(lido))
                                 : Esquerda(Bytes(lido), 60)) +
       "\"";
  // The row, by the fields that tell a declaration's rows apart, when the query selected them.
  for (const char* chave : {"Declaração", "Ref"}) {
    const std::string d = Dobra(chave);
    for (int k = 0; k < p_->colunas(); ++k) {
      if (Dobra(p_->coluna(k).nome) != d || k == i) continue;
      sqlite3_value* v = Valor(k);
      if (sqlite3_value_type(v) == SQLITE_INTEGER)
        r += std::string(", ") + chave + " " + std::to_string(sqlite3_value_int64(v));
      if (sqlite3_value_type(v) == SQLITE_TEXT) r += std::string(", ") + chave + " " + Bytes(v);
      break;
    }
  }
  return r + " (SQL: " + sql_ + ")";
}

void RecordsetSqlite::Edit() {
  if (!p_ || eof_) throw Erro(kErroSemRegistroAtual, "Nenhum registro atual.");
  if (tipo_ != kDynaset || p_->colunaRowid() < 0 || tabela_.empty())
    throw Erro(kErroNaoAtualizavel,
               "Não é possível atualizar. Banco de dados ou objeto é somente leitura. (SQL: " + sql_ + ")");
  rowidEdicao_ = sqlite3_value_int64(Valor(p_->colunaRowid()));
  pendentes_.clear();
  editando_ = true;
}

void RecordsetSqlite::DefineCampo(std::string_view nome, const Variant& valor) {
  if (!editando_) throw Erro(kErroUpdateSemEdit, "Update ou CancelUpdate sem AddNew ou Edit.");
  pendentes_.emplace_back(p_->Indice(nome), valor);
}

void RecordsetSqlite::Update() {
  if (!editando_) throw Erro(kErroUpdateSemEdit, "Update ou CancelUpdate sem AddNew ou Edit.");
  editando_ = false;
  if (pendentes_.empty()) return;
  std::string sql = "UPDATE \"" + tabela_ + "\" SET ";
  std::vector<Variant> valores;
  for (size_t i = 0; i < pendentes_.size(); ++i) {
    sql += (i ? ", \"" : "\"") + p_->coluna(pendentes_[i].first).nome + "\" = ?";
    valores.push_back(pendentes_[i].second);
  }
  sql += " WHERE rowid = ?";
  valores.push_back(Variant::Dbl(static_cast<double>(rowidEdicao_)));
  pendentes_.clear();
  banco_->Executa(sql, valores);
}

void RecordsetSqlite::Close() {
  p_.Devolve();
  eof_ = true;
}

}  // namespace kv
