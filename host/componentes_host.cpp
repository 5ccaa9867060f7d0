#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <map>

#include "host/host.h"
#include "platform/configuracao.h"
#include "platform/db/sqlite_banco.h"
#include "platform/erro.h"
#include "platform/externos.h"

namespace kv::host {
namespace {

// Every reference month is examined.
class FiltroTodos : public FiltroReferencia {
 public:
  void InformaBanco(std::string&) override {}
  void InformaReferencia(Variant&, const Variant&) override {}
  Variant Resultado() override { return Variant::Long(1); }
};

std::shared_ptr<Database> BancoDoHost(const std::string& caminho) {
  std::string c = caminho;
  auto banco = CriaComo<ConexaoBanco>(kClsidConexaoBanco)->AbreBanco(c);
  if (!banco) throw Erro(kErroBancoNaoEncontrado, "Não foi possível encontrar o banco de dados " + caminho);
  return banco;
}

class RegistroSqlite : public RegistroDeclaracao {
 public:
  void DefineBanco(std::string& caminho) override { caminho_ = caminho; }
  void DefineDeclaracao(int32_t& declaracao) override { declaracao_ = declaracao; }
  void DefineChave(Variant& chave) override { chave_ = chave; }
  void DefineConsistente(Variant& consistente) override { consistente_ = consistente; }
  void Grava() override {
    auto banco = BancoDoHost(caminho_);
    bool consistente = CBool(consistente_);
    banco->Inicia();
    try {
      long n = banco->Executa(
          "UPDATE tblDeclaração SET Consistente = ?, Chave = ? WHERE Declaração = ?",
          {Variant::Bool(consistente), consistente ? chave_ : Variant::Nulo(), Variant::Long(declaracao_)});
      if (n == 0)
        throw Erro(kErroSemRegistroAtual, "A declaração " + std::to_string(declaracao_) +
                                              " não existe em tblDeclaração de " + caminho_);
      banco->Confirma();
    } catch (...) {
      banco->Desfaz();
      throw;
    }
  }

 private:
  std::string caminho_;
  int32_t declaracao_ = 0;
  Variant chave_, consistente_;
};

class ArquivoCanonico : public ArquivoCertificacao {
 public:
  void InformaArquivo(const std::string& caminho, int32_t&, int32_t&) override { caminho_ = caminho; }
  void InformaDeclaracao(int32_t& declaracao, int32_t&) override {
    auto banco = BancoDoHost(Config().Le("KV", "DB", "DbAtual", ""));
    std::string texto = TextoCanonico(*banco, declaracao);
    // The file was made private a moment ago: written in place, never through a link put there since.
    const int fd = ::open(caminho_.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC);
    bool gravou = fd >= 0;
    for (size_t feito = 0; gravou && feito < texto.size();) {
      const ssize_t n = ::write(fd, texto.data() + feito, texto.size() - feito);
      gravou = n > 0 || (n < 0 && errno == EINTR);
      if (n > 0) feito += static_cast<size_t>(n);
    }
    if (fd >= 0 && ::close(fd) != 0) gravou = false;
    if (!gravou) throw Erro(kErroArquivo, "Não foi possível gravar o arquivo de certificação " + caminho_);
  }

 private:
  std::string caminho_;
};

std::string Valor(const Variant& v) {
  if (v.IsNull()) return "\\N";
  std::string s = CStr(v);
  std::string r;
  for (char c : s) {
    if (c == '\\' || c == '|') r += '\\';
    if (c == '\n') {
      r += "\\n";
      continue;
    }
    if (c == '\r') {
      r += "\\r";
      continue;
    }
    r += c;
  }
  return r;
}

}  // namespace

std::string TextoCanonico(Database& banco, int32_t declaracao) {
  struct Tabela {
    const char* nome;
    const char* filtro;
    std::vector<const char*> campos;
  };
  const std::string d = std::to_string(declaracao);
  const std::vector<Tabela> tabelas = {
      {"tblDeclaração", "Declaração = ", {"Declaração", "IE", "DeAcordo"}},
      {"tblContribuinte", "IE IN (SELECT IE FROM tblDeclaração WHERE Declaração = ", {"IE", "CNPJ", "CNAE"}},
      {"tblEntradas", "Declaração = ", {"Ref", "EntradaInter", "ImpAquisição", "EntradaInterna"}},
      {"tblSaídas",
       "Declaração = ",
       {"Ref", "SaídaInterna", "SaídaInter", "ImpDevido", "SaídaInternaNtrib", "SaídaInterNtrib"}},
      {"tblDetalhesInterUFs",
       "Declaração = ",
       {"Ref", "Tipo", "UF", "ValorContábil_1", "BaseCálculo_1", "Outras", "Imposto", "PetróleoEnergia",
        "OutrosProdutos", "ValorContábil_2", "BaseCálculo_2", "ICMSCobradoST"}},
      {"tblTOVIR", "Declaração = ", {"CódTOVIR", "Município", "Código", "Valor"}},
  };
  std::string texto = "Declaração " + d + "\n";
  for (const Tabela& t : tabelas) {
    std::string filtro =
        std::string(t.filtro) + d + (std::string(t.filtro).find('(') != std::string::npos ? ")" : "");
    auto rs = banco.OpenRecordset(std::string("SELECT * FROM ") + t.nome + " WHERE " + filtro, kSnapshot);
    std::vector<std::string> linhas;
    for (; !rs->Eof(); rs->MoveNext()) {
      std::string linha = t.nome;
      for (const char* c : t.campos) linha += std::string("|") + c + "=" + Valor(rs->Campo(c));
      linhas.push_back(std::move(linha));
    }
    std::sort(linhas.begin(), linhas.end());
    for (auto& l : linhas) texto += l + "\n";
  }
  return texto;
}

void RegistraComponentes(bool somenteLeitura) {
  RegistraClasse(kClsidConexaoBanco, [somenteLeitura] { return ConexaoSqlite(somenteLeitura); });
  RegistraClasse(kClsidFiltroReferencia, [] { return std::make_shared<FiltroTodos>(); });
  RegistraClasse(kClsidRegistroDeclaracao, [] { return std::make_shared<RegistroSqlite>(); });
  RegistraClasse(kClsidArquivoCertificacao, [] { return std::make_shared<ArquivoCanonico>(); });
}

}  // namespace kv::host
