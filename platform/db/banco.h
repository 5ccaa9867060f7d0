// DAO-like database objects: what the rules need from the declaration database, and nothing of SQLite.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/exporta.h"
#include "platform/variant.h"

// A statement model of the rules (platform/db/modelo.h): internal, so not exported.
namespace kv {
class ModeloSql;
}

KV_PUBLICO_INICIO

namespace kv {

enum TipoRecordset : int { kDynaset = 2, kSnapshot = 4 };

class Recordset {
 public:
  virtual ~Recordset() = default;
  // 0 when the query gave no row, at least 1 otherwise; never moves.
  virtual long RecordCount() = 0;
  virtual bool Eof() = 0;
  virtual void MoveNext() = 0;
  // The field's value, converted by its declared type; names match without regard to case.
  // Unknown name: error 3265. A bad stored value raises its conversion error only here.
  virtual Variant Campo(std::string_view nome) = 0;
  // Dynaset editing of a single-table query's current row.
  virtual void Edit() = 0;
  virtual void DefineCampo(std::string_view nome, const Variant& valor) = 0;
  virtual void Update() = 0;
  virtual void Close() = 0;
};

class Database {
 public:
  virtual ~Database() = default;
  // Opens a recordset on a Jet SQL text. Failure raises Erro (3000 + engine code, message and SQL).
  virtual std::unique_ptr<Recordset> OpenRecordset(const std::string& sql, int tipo = kSnapshot) = 0;
  // Opens a recordset on a statement model (platform/db/modelo.h) with these values, one per slot. By
  // default, what OpenRecordset gives for the model's whole text: a host's database sees every text
  // whole. Our connection overrides it to prepare each model once and bind its values.
  virtual std::unique_ptr<Recordset> AbreModelo(const ModeloSql& modelo,
                                                std::initializer_list<std::string_view> valores,
                                                int tipo = kSnapshot);
  // Runs one statement with positional parameters (the host's own writes); returns rows changed.
  virtual long Executa(const std::string& sql, const std::vector<Variant>& parametros) = 0;
  virtual void Inicia() = 0;    // BEGIN IMMEDIATE
  virtual void Confirma() = 0;  // COMMIT
  virtual void Desfaz() = 0;    // ROLLBACK; never throws
  virtual std::string Caminho() const = 0;

  // One snapshot for a whole check: reads between IniciaLeitura and EncerraLeitura (which nest) see one
  // state of the database and take its lock once. A write in between ends the snapshot, writes at once
  // and starts a new one, so no write waits for the check. The defaults do nothing.
  virtual void IniciaLeitura() {}
  virtual void EncerraLeitura() {}
  virtual bool EmLeitura() const { return false; }
  // Changes whenever the database's data changes (a commit of this connection or of any other), and
  // differs between connections opened on different files at the same path; "" when unknown. Lets a
  // front end tell fresh data from a repaint of the same data.
  virtual std::string VersaoDosDados() { return ""; }
  // Whether this connection was opened for reading only on purpose (an auditor's copy): the check then
  // reports the writes it would make instead of making them. A database that merely cannot be written
  // answers false, and a write to it fails with the database's own error.
  virtual bool SomenteLeitura() const { return false; }
};

// Forwards every member to another Database, so that a wrapper (a fault injector, a recorder) overrides
// only what it changes and a member added here cannot be forgotten by it.
class DatabaseWrapper : public Database {
 public:
  explicit DatabaseWrapper(std::shared_ptr<Database> alvo) : alvo_(std::move(alvo)) {}
  Database& alvo() const { return *alvo_; }

  std::unique_ptr<Recordset> OpenRecordset(const std::string& sql, int tipo = kSnapshot) override {
    return alvo_->OpenRecordset(sql, tipo);
  }
  // Forwarded too, so the connection below still binds: a wrapper that watches statements overrides
  // both (the text of a model is modelo.Texto(valores)).
  std::unique_ptr<Recordset> AbreModelo(const ModeloSql& modelo,
                                        std::initializer_list<std::string_view> valores,
                                        int tipo = kSnapshot) override {
    return alvo_->AbreModelo(modelo, valores, tipo);
  }
  long Executa(const std::string& sql, const std::vector<Variant>& parametros) override {
    return alvo_->Executa(sql, parametros);
  }
  void Inicia() override { alvo_->Inicia(); }
  void Confirma() override { alvo_->Confirma(); }
  void Desfaz() override { alvo_->Desfaz(); }
  std::string Caminho() const override { return alvo_->Caminho(); }
  void IniciaLeitura() override { alvo_->IniciaLeitura(); }
  void EncerraLeitura() override { alvo_->EncerraLeitura(); }
  bool EmLeitura() const override { return alvo_->EmLeitura(); }
  std::string VersaoDosDados() override { return alvo_->VersaoDosDados(); }
  bool SomenteLeitura() const override { return alvo_->SomenteLeitura(); }

 private:
  std::shared_ptr<Database> alvo_;
};

// The same for a Recordset.
class RecordsetWrapper : public Recordset {
 public:
  explicit RecordsetWrapper(std::unique_ptr<Recordset> alvo) : alvo_(std::move(alvo)) {}
  long RecordCount() override { return alvo_->RecordCount(); }
  bool Eof() override { return alvo_->Eof(); }
  void MoveNext() override { alvo_->MoveNext(); }
  Variant Campo(std::string_view nome) override { return alvo_->Campo(nome); }
  void Edit() override { alvo_->Edit(); }
  void DefineCampo(std::string_view nome, const Variant& valor) override { alvo_->DefineCampo(nome, valor); }
  void Update() override { alvo_->Update(); }
  void Close() override { alvo_->Close(); }

 private:
  std::unique_ptr<Recordset> alvo_;
};

// Holds a database's snapshot for a scope; a null database holds nothing.
class LeituraUnica {
 public:
  explicit LeituraUnica(std::shared_ptr<Database> banco) : banco_(std::move(banco)) {
    if (banco_) banco_->IniciaLeitura();
  }
  ~LeituraUnica() {
    if (banco_) banco_->EncerraLeitura();
  }
  LeituraUnica(const LeituraUnica&) = delete;
  LeituraUnica& operator=(const LeituraUnica&) = delete;

 private:
  std::shared_ptr<Database> banco_;
};

}  // namespace kv

KV_PUBLICO_FIM
