// Finding the portfolio's files and reading each into something the checks can open.
#include "cli/carteira.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "host/host.h"
#include "jet/importacao.h"
#include "platform/arquivo.h"
#include "platform/db/sqlite_banco.h"
#include "platform/erro.h"
#include "platform/externos.h"
#include "platform/texto.h"

namespace kv::cli {
namespace {

namespace fs = std::filesystem;

bool ExtensaoDeBanco(const fs::path& f) {
  const std::string e = Minusculas(f.extension().string());
  return e == ".db" || e == ".sqlite" || e == ".mdb" || e == ".accdb";
}

// What a folder holds for the run: a file to check, or a subfolder that cannot be read (its error).
struct Encontrado {
  std::string caminho, erro;
};

// A folder's database files, through its subfolders; links, to files or folders, are not followed.
// Names are kept byte for byte, whatever their encoding, and a subfolder that cannot be read is named
// with its error: nothing under the folder is left out of the count in silence.
void DaPasta(const fs::path& pasta, std::vector<Encontrado>& r) {
  std::error_code erro;
  fs::directory_iterator it(pasta, erro);
  for (; !erro && it != fs::directory_iterator(); it.increment(erro)) {
    std::error_code e;
    const fs::file_status st = it->symlink_status(e);
    if (fs::is_directory(st))
      DaPasta(it->path(), r);
    else if (!fs::is_symlink(st) && ExtensaoDeBanco(it->path()))
      r.push_back({it->path().string(), ""});
  }
  if (erro) r.push_back({pasta.string(), "a pasta não pode ser lida: " + erro.message()});
}

ErroVerificacao ErroDe(const std::string& nome, const std::string& motivo) {
  return {kErroBancoNaoEncontrado, "'" + nome + "': " + motivo};
}

}  // namespace

std::vector<std::string> DeclaracoesDoBanco(const std::string& caminho) {
  auto banco = AbreSqlite(caminho, 5000, true);
  if (!banco) throw ErroUso("o banco de dados '" + caminho + "' não pôde ser aberto");
  std::vector<std::string> r;
  auto rs = banco->OpenRecordset("SELECT Declaração FROM tblDeclaração ORDER BY Declaração");
  for (; !rs->Eof(); rs->MoveNext()) r.push_back(CStr(rs->Campo("Declaração")));
  return r;
}

Carteira::Carteira(const std::vector<std::string>& caminhos) {
  std::set<std::pair<dev_t, ino_t>> vistos;
  bool pasta = false;
  for (const std::string& c : caminhos) {
    struct stat st {};
    if (::stat(c.c_str(), &st) != 0) throw ErroUso("'" + TextoVisivel(c) + "' não existe");
    std::vector<Encontrado> achados = {{c, ""}};
    if (S_ISDIR(st.st_mode)) {
      pasta = true;
      achados.clear();
      DaPasta(c, achados);
      std::sort(achados.begin(), achados.end(),
                [](const Encontrado& a, const Encontrado& b) { return a.caminho < b.caminho; });
    }
    for (Encontrado& e : achados) {
      if (::stat(e.caminho.c_str(), &st) == 0 && !vistos.insert({st.st_dev, st.st_ino}).second) continue;
      ArquivoDaCarteira a;
      a.nome = e.caminho;
      a.caminho = Absoluto(e.caminho);
      if (!e.erro.empty()) a.erro = ErroDe(a.nome, e.erro);
      arquivos_.push_back(std::move(a));
    }
  }
  if (arquivos_.empty()) throw ErroUso("nenhum banco de dados (.db, .sqlite, .mdb, .accdb) nas pastas dadas");
  unica_ = !pasta && arquivos_.size() == 1;
}

bool Carteira::Prepara(const std::function<void(size_t, size_t)>& progresso) {
  for (size_t i = 0; i < arquivos_.size(); ++i) {
    if (progresso) progresso(i, arquivos_.size());
    ArquivoDaCarteira& a = arquivos_[i];
    if (a.erro) continue;  // a subfolder that could not be read
    a.jet = jet::EhJet(a.caminho);
    try {
      if (a.jet) {
        if (!copias_) copias_.emplace("lote");
        const std::string copia = copias_->Arquivo(std::to_string(i) + ".db");
        const jet::Importacao r = jet::Importa(a.caminho, copia);
        if (r.sinal) return false;
        a.caminho = copia;
      }
      if (const std::string motivo = MotivoNaoEhBanco(a.caminho); !motivo.empty()) {
        a.erro = ErroDe(a.nome, motivo);
        a.erroDeUso = true;
        continue;
      }
      ConfereBancoDeDeclaracoes(a.caminho);
      a.declaracoes = DeclaracoesDoBanco(a.caminho);
    } catch (const jet::ErroDeUso& e) {
      a.erro = ErroDe(a.nome, e.mensagem);
      a.erroDeUso = true;
    } catch (const ErroUso& e) {
      a.erroDeUso = true;
      // Named as the user knows the file, not by its copy.
      std::string motivo = e.what();
      if (const size_t p = motivo.find(a.caminho); a.jet && p != std::string::npos)
        motivo.replace(p, a.caminho.size(), a.nome);
      a.erro = ErroVerificacao{kErroBancoNaoEncontrado, motivo};
    } catch (const Erro& e) {
      a.erro = ErroVerificacao{e.numero(), "'" + a.nome + "': " + e.descricao()};
    }
  }
  return true;
}

std::vector<std::string> Carteira::Copias() const {
  std::vector<std::string> r;
  for (const ArquivoDaCarteira& a : arquivos_)
    if (a.jet && !a.erro) r.push_back(a.caminho);
  return r;
}

void RegistraCopiasSoParaLeitura(const Carteira& carteira, bool somenteLeitura) {
  const std::vector<std::string> copias = carteira.Copias();
  if (copias.empty()) return;
  host::RegistraComponentes(true);
  auto leitura = CriaComo<ConexaoBanco>(kClsidConexaoBanco);
  host::RegistraComponentes(somenteLeitura);
  auto normal = CriaComo<ConexaoBanco>(kClsidConexaoBanco);
  // Each copy stands for a Jet file, which is never written: it is opened read-only.
  class PorArquivo : public ConexaoBanco {
   public:
    PorArquivo(std::shared_ptr<ConexaoBanco> l, std::shared_ptr<ConexaoBanco> n, std::vector<std::string> c)
        : leitura_(std::move(l)), normal_(std::move(n)), copias_(std::move(c)) {}
    std::shared_ptr<Database> AbreBanco(std::string& caminho) override {
      const bool copia = std::find(copias_.begin(), copias_.end(), caminho) != copias_.end();
      return (copia ? leitura_ : normal_)->AbreBanco(caminho);
    }

   private:
    std::shared_ptr<ConexaoBanco> leitura_, normal_;
    std::vector<std::string> copias_;
  };
  RegistraClasse(kClsidConexaoBanco, [=] { return std::make_shared<PorArquivo>(leitura, normal, copias); });
  for (const ArquivoDaCarteira& a : carteira.arquivos())
    if (a.jet && !a.erro)
      std::fprintf(stderr,
                   "kvconsistencia: %s é um arquivo Jet: verificado numa cópia temporária, somente "
                   "para leitura\n",
                   TextoVisivel(a.nome).c_str());
}

}  // namespace kv::cli
