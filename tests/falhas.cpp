#include "falhas.h"

#include "host/host.h"
#include "platform/db/banco.h"
#include "platform/db/modelo.h"
#include "platform/erro.h"
#include "platform/externos.h"

namespace kv::teste {

void Injetor::Conta(Operacao op) {
  const long c = ++contagem[op];
  if (n_ <= 0 || op != alvo_ || c != n_) return;
  if (antes_) return antes_();
  throw Erro(3010, std::string("falha injetada ao ") + kNomesDasOperacoes[static_cast<int>(op)] +
                       " (operação " + std::to_string(c) + ")");
}

namespace {

class RecordsetComFalhas : public RecordsetWrapper {
 public:
  RecordsetComFalhas(std::unique_ptr<Recordset> r, std::shared_ptr<Injetor> i)
      : RecordsetWrapper(std::move(r)), i_(std::move(i)) {}
  void MoveNext() override {
    i_->Conta(Operacao::Passo);
    RecordsetWrapper::MoveNext();
  }
  Variant Campo(std::string_view nome) override {
    i_->Conta(Operacao::LerCampo);
    return RecordsetWrapper::Campo(nome);
  }
  void Update() override {
    i_->Conta(Operacao::Atualizar);
    RecordsetWrapper::Update();
  }

 private:
  std::shared_ptr<Injetor> i_;
};

class BancoComFalhas : public DatabaseWrapper {
 public:
  BancoComFalhas(std::shared_ptr<Database> b, std::shared_ptr<Injetor> i)
      : DatabaseWrapper(std::move(b)), i_(std::move(i)) {}
  std::unique_ptr<Recordset> OpenRecordset(const std::string& sql, int tipo) override {
    Registra(Operacao::Preparar, tipo, sql);
    return std::make_unique<RecordsetComFalhas>(DatabaseWrapper::OpenRecordset(sql, tipo), i_);
  }
  std::unique_ptr<Recordset> AbreModelo(const ModeloSql& m, std::initializer_list<std::string_view> v,
                                        int tipo) override {
    Registra(Operacao::Preparar, tipo, m.Texto(v));
    return std::make_unique<RecordsetComFalhas>(DatabaseWrapper::AbreModelo(m, v, tipo), i_);
  }
  long Executa(const std::string& sql, const std::vector<Variant>& p) override {
    Registra(Operacao::Atualizar, 0, sql);
    return DatabaseWrapper::Executa(sql, p);
  }
  void Confirma() override {
    i_->Conta(Operacao::Confirmar);
    DatabaseWrapper::Confirma();
  }

 private:
  void Registra(Operacao op, int tipo, const std::string& sql) {
    i_->Conta(op);
    i_->comandos.emplace_back(tipo, sql);
  }
  std::shared_ptr<Injetor> i_;
};

class ConexaoComFalhas : public ConexaoBanco {
 public:
  ConexaoComFalhas(std::shared_ptr<ConexaoBanco> c, std::shared_ptr<Injetor> i)
      : c_(std::move(c)), i_(std::move(i)) {}
  std::shared_ptr<Database> AbreBanco(std::string& caminho) override {
    i_->Conta(Operacao::Abrir);
    auto b = c_->AbreBanco(caminho);
    return b ? std::make_shared<BancoComFalhas>(b, i_) : nullptr;
  }

 private:
  std::shared_ptr<ConexaoBanco> c_;
  std::shared_ptr<Injetor> i_;
};

}  // namespace

void InstalaFalhas(std::shared_ptr<Injetor> injetor) {
  host::RegistraComponentes();
  auto real = CriaComo<ConexaoBanco>(kClsidConexaoBanco);
  RegistraClasse(kClsidConexaoBanco,
                 [real, injetor] { return std::make_shared<ConexaoComFalhas>(real, injetor); });
}

}  // namespace kv::teste
