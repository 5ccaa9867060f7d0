#include "falhas.h"

#include "host/host.h"
#include "platform/db/modelo.h"
#include "platform/erro.h"

namespace kv::teste {

const char* NomeDe(Operacao op) {
  static const char* const kNomes[] = {"abrir", "preparar", "avançar", "ler campo", "atualizar", "confirmar"};
  return kNomes[static_cast<int>(op)];
}

void Injetor::Conta(Operacao op) {
  long c = ++contagem_[op];
  if (n_ <= 0 || op != alvo_ || c != n_) return;
  if (antes_) return antes_();
  throw Erro(3010, std::string("falha injetada ao ") + NomeDe(op) + " (operação " + std::to_string(c) + ")");
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
    Prepara(sql, tipo);
    return std::make_unique<RecordsetComFalhas>(DatabaseWrapper::OpenRecordset(sql, tipo), i_);
  }
  std::unique_ptr<Recordset> AbreModelo(const ModeloSql& m, std::initializer_list<std::string_view> v,
                                        int tipo) override {
    Prepara(m.Texto(v), tipo);
    return std::make_unique<RecordsetComFalhas>(DatabaseWrapper::AbreModelo(m, v, tipo), i_);
  }
  long Executa(const std::string& sql, const std::vector<Variant>& p) override {
    i_->Conta(Operacao::Atualizar);
    i_->comandos.push_back(sql);
    i_->tipos.push_back(0);
    return DatabaseWrapper::Executa(sql, p);
  }
  void Confirma() override {
    i_->Conta(Operacao::Confirmar);
    DatabaseWrapper::Confirma();
  }

 private:
  void Prepara(const std::string& sql, int tipo) {
    i_->Conta(Operacao::Preparar);
    i_->comandos.push_back(sql);
    i_->tipos.push_back(tipo);
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
