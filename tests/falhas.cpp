#include "falhas.h"

#include "host/host.h"
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

class RecordsetComFalhas : public Recordset {
 public:
  RecordsetComFalhas(std::unique_ptr<Recordset> r, std::shared_ptr<Injetor> i)
      : r_(std::move(r)), i_(std::move(i)) {}
  long RecordCount() override { return r_->RecordCount(); }
  bool Eof() override { return r_->Eof(); }
  void MoveNext() override {
    i_->Conta(Operacao::Passo);
    r_->MoveNext();
  }
  Variant Campo(std::string_view nome) override {
    i_->Conta(Operacao::LerCampo);
    return r_->Campo(nome);
  }
  void Edit() override { r_->Edit(); }
  void DefineCampo(std::string_view nome, const Variant& v) override { r_->DefineCampo(nome, v); }
  void Update() override {
    i_->Conta(Operacao::Atualizar);
    r_->Update();
  }
  void Close() override { r_->Close(); }

 private:
  std::unique_ptr<Recordset> r_;
  std::shared_ptr<Injetor> i_;
};

class BancoComFalhas : public Database {
 public:
  BancoComFalhas(std::shared_ptr<Database> b, std::shared_ptr<Injetor> i)
      : b_(std::move(b)), i_(std::move(i)) {}
  std::unique_ptr<Recordset> OpenRecordset(const std::string& sql, int tipo) override {
    i_->Conta(Operacao::Preparar);
    i_->comandos.push_back(sql);
    return std::make_unique<RecordsetComFalhas>(b_->OpenRecordset(sql, tipo), i_);
  }
  long Executa(const std::string& sql, const std::vector<Variant>& p) override {
    i_->Conta(Operacao::Atualizar);
    i_->comandos.push_back(sql);
    return b_->Executa(sql, p);
  }
  void Inicia() override { b_->Inicia(); }
  void Confirma() override {
    i_->Conta(Operacao::Confirmar);
    b_->Confirma();
  }
  void Desfaz() override { b_->Desfaz(); }
  std::string Caminho() const override { return b_->Caminho(); }
  void IniciaLeitura() override { b_->IniciaLeitura(); }
  void EncerraLeitura() override { b_->EncerraLeitura(); }
  bool EmLeitura() const override { return b_->EmLeitura(); }

 private:
  std::shared_ptr<Database> b_;
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
