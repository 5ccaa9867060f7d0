// Inside the SQLite layer: the connection (with its read snapshot and its adapted texts) and the recordset.
#pragma once

#include <sqlite3.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/db/banco.h"
#include "platform/db/colacao.h"
#include "platform/db/comandos.h"
#include "platform/db/jetsql.h"
#include "platform/db/modelo.h"

namespace kv {

// A connection's adapted texts, by text (or by model and spliced texts). Adapting is a tokenizer pass over
// the text, and a check issues the same eighty texts for every declaration: kept, a check costs 0.53 of
// what it costs adapting every time (3,000 checks, median of 9 paired runs). When full it starts again:
// the texts a workload uses come back at once.
class TextosAdaptados {
 public:
  static constexpr size_t kMaximo = 512;
  // The adapted form of `chave`'s text, adapted once (`adapta` makes it the first time).
  template <typename F>
  const SqlAdaptado& Obtem(const std::string& chave, F adapta) {
    if (auto it = textos_.find(chave); it != textos_.end()) return it->second;
    if (textos_.size() >= kMaximo) textos_.clear();
    return textos_.emplace(chave, adapta()).first->second;
  }

 private:
  std::unordered_map<std::string, SqlAdaptado> textos_;
};

class BancoSqlite : public Database, public std::enable_shared_from_this<BancoSqlite> {
 public:
  BancoSqlite(SqliteProprio db, std::string caminho, bool somenteLeitura);
  ~BancoSqlite() override;

  std::unique_ptr<Recordset> OpenRecordset(const std::string& sql, int tipo) override;
  // The model's statement, adapted and prepared once per connection for each set of spliced texts; the
  // values of its value slots are bound. A value slot given anything but a plain whole number takes the
  // text path instead, as OpenRecordset on the whole text.
  std::unique_ptr<Recordset> AbreModelo(const ModeloSql& m, std::initializer_list<std::string_view> valores,
                                        int tipo) override;
  long Executa(const std::string& sql, const std::vector<Variant>& parametros) override;
  void Inicia() override;
  void Confirma() override;
  void Desfaz() override;
  std::string Caminho() const override { return caminho_; }
  void IniciaLeitura() override;
  void EncerraLeitura() override;
  bool EmLeitura() const override { return niveisLeitura_ > 0; }
  std::string VersaoDosDados() override;
  bool SomenteLeitura() const override { return somenteLeitura_; }

  sqlite3* db() const { return db_.get(); }

 private:
  // A recordset on adapted text `a`, whose model slots take `valores`; `sql` is what errors name.
  std::unique_ptr<Recordset> Abre(const SqlAdaptado& a, const std::vector<long long>& valores,
                                  std::string sql, int tipo);
  void AbreLeitura();
  void FechaLeitura() noexcept;
  void Exec(const char* sql);
  struct Pausa;

  SqliteProprio db_;  // first: closed after everything below is finalised
  std::string caminho_;
  std::string arquivo_;  // device and inode of the file opened
  bool somenteLeitura_;  // opened for reading only on purpose
  PoolDeComandos comandos_;
  TextosAdaptados adaptados_;
  sqlite3_stmt* versao_ = nullptr;  // PRAGMA data_version, prepared once
  int niveisLeitura_ = 0;
  bool lendo_ = false;       // our snapshot transaction is open
  bool escrevendo_ = false;  // between Inicia and Confirma/Desfaz
};

// Binds a Variant as SQLite stores it for our columns.
void Liga(sqlite3_stmt* st, int i, const Variant& v);

// A stored value copied out of SQLite (dynaset rows are read at once, see RecordsetSqlite).
struct LiberaValor {
  void operator()(sqlite3_value* v) const { sqlite3_value_free(v); }
};
using ValorCopiado = std::unique_ptr<sqlite3_value, LiberaValor>;

class RecordsetSqlite : public Recordset {
 public:
  // Steps to the first row (a snapshot) or reads every row (a dynaset). `tabela` is the one table a
  // dynaset may edit, or "".
  RecordsetSqlite(std::shared_ptr<BancoSqlite> banco, PoolDeComandos::Emprestimo p, std::string sql,
                  std::string tabela, int tipo);
  ~RecordsetSqlite() override { Close(); }
  long RecordCount() override { return linhas_; }
  bool Eof() override { return eof_; }
  void MoveNext() override;
  Variant Campo(std::string_view nome) override;
  void Edit() override;
  void DefineCampo(std::string_view nome, const Variant& valor) override;
  void Update() override;
  void Close() override;

 private:
  void Passo();
  void Materializa();
  // Column i of the current row: the statement's own value, or the dynaset's copy.
  sqlite3_value* Valor(int i) const;
  // Which field, row and statement a bad stored value came from.
  std::string Onde(int i) const;

  std::shared_ptr<BancoSqlite> banco_;
  PoolDeComandos::Emprestimo p_;
  std::string sql_, tabela_;
  int tipo_;
  bool eof_ = true;
  long linhas_ = 0;
  bool editando_ = false;
  long long rowidEdicao_ = 0;
  // A dynaset is read whole when opened, so no read transaction is held while Update writes: two
  // connections upgrading their read locks at once would otherwise deadlock.
  bool materializado_ = false;
  std::vector<std::vector<ValorCopiado>> linhasLidas_;
  size_t posicao_ = 0;
  std::vector<std::pair<int, Variant>> pendentes_;
};

}  // namespace kv
