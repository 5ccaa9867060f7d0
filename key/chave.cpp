// Where the key is made and recorded, and where a recorded key is checked against the data.
#include "key/chave.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/certificacao.h"
#include "platform/componentes.h"
#include "platform/configuracao.h"
#include "platform/erro.h"
#include "platform/externos.h"
#include "platform/temporaria.h"
#include "rules/frame/estado.h"
#include "rules/frame/quadro.h"

namespace kv {
namespace {

class CaixaErroPadrao : public CaixaMensagem {
 public:
  int Mostra(const std::string& texto, int, const std::string& titulo) override {
    std::fprintf(stderr, "%s: %s\n", titulo.c_str(), texto.c_str());
    return kBotaoOk;
  }
};

// The file holds the declaration's data, the taxpayer's CNPJ included: it is certified in a folder of the
// run's own that only its owner can reach (never the library's folder, which every user and run would
// share), and goes with that folder as soon as `usa` has read it, whatever happens on the way. A
// certification failure raises its error after `falhou` (the box) has run.
template <typename Falhou, typename Usa>
auto Certifica(int32_t declaracao, Falhou falhou, Usa usa) {
  const PastaTemporaria pasta("chave", PastaTemporaria::Onde::Execucao);
  const std::string arquivo = pasta.Arquivo(kArquivoTemporarioChave);
  CriaArquivoPrivado(arquivo);
  const int16_t resultado = CertificaDeclaracao(arquivo, declaracao);
  if (resultado != 0) {
    falhou();
    // A failure must not pass for success: the caller learns of it, and nothing was recorded.
    throw Erro(kErroCertificacao, "Erro na geração da chave interna. (CertificaArquivo devolveu " +
                                      std::to_string(resultado) + ")");
  }
  return usa(arquivo);
}

// A RegistroDeclaracao told of the database the settings name and of the current declaration.
std::shared_ptr<RegistroDeclaracao> Registro() {
  EstadoModulo& e = Estado();
  e.caminhoBanco = Config().Le(kApp, "DB", "DbAtual", "");
  auto registro = CriaComo<RegistroDeclaracao>(kClsidRegistroDeclaracao);
  registro->DefineBanco(e.caminhoBanco);
  int32_t numero = CLng(e.declaracao);
  registro->DefineDeclaracao(numero);
  return registro;
}

}  // namespace

std::shared_ptr<CaixaMensagem> CaixaPadrao() {
  static auto caixa = std::make_shared<CaixaErroPadrao>();
  return caixa;
}

int16_t CertificaDeclaracao(const std::string& arquivo, int32_t declaracao) {
  auto certificacao = CriaComo<ArquivoCertificacao>(kClsidArquivoCertificacao);
  int32_t um = 1, menosUm = -1;
  certificacao->InformaArquivo(arquivo, um, menosUm);
  certificacao->InformaDeclaracao(declaracao, menosUm);
  std::string biblioteca = PastaDaCertificacao() + "/libCertificaTarvo.so";
  int resultado = CertificaArquivo(biblioteca, arquivo, kChaveInterna);
  return CInt(Variant::Long(resultado));
}

std::string LeChaveDoArquivo(const std::string& arquivo) {
  // Never through a link: the file is ours, made a moment ago.
  const int fd = ::open(arquivo.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0)
    throw Erro(kErroArquivoNaoEncontrado, "Arquivo não encontrado: " + arquivo + ": " + std::strerror(errno));
  std::unique_ptr<int, void (*)(int*)> fecha(new int(fd), [](int* f) {
    ::close(*f);
    delete f;
  });
  struct stat st {};
  const off_t tamanho = ::fstat(fd, &st) == 0 ? st.st_size : 0;
  if (tamanho < 32)
    throw Erro(kErroRegistro, "Número de registro inválido: o arquivo " + arquivo + " tem " +
                                  std::to_string(tamanho) + " bytes, menos que os 32 da chave");
  std::string chave(32, '\0');
  if (::pread(fd, chave.data(), 32, tamanho - 32) != 32)
    throw Erro(kErroArquivo, "Erro de leitura no arquivo " + arquivo);
  return chave;
}

void CriaArquivoPrivado(const std::string& caminho) {
  int fd = ::open(caminho.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0)
    throw Erro(kErroArquivo,
               "Não foi possível criar o arquivo temporário " + caminho + ": " + std::strerror(errno));
  ::close(fd);
}

bool ChaveConfere(int32_t declaracao, const std::string& chave) {
  return ChaveDosDados(declaracao) == chave;
}

std::string ChaveDosDados(int32_t declaracao) {
  return Certifica(
      declaracao, [] {}, LeChaveDoArquivo);
}

void GeraChave(CaixaMensagem& caixa) {
  const int32_t declaracao = CLng(Variant::Str(CStr(Estado().declaracao)));
  Certifica(
      declaracao, [&] { caixa.Mostra("Erro na geração da chave interna.", kCaixaCritico, "Atenção!"); },
      [](const std::string& arquivo) {
        auto registro = Registro();
        Variant chave = Variant::Str(LeChaveDoArquivo(arquivo));
        registro->DefineChave(chave);
        Variant verdadeiro = Variant::Bool(true);
        registro->DefineConsistente(verdadeiro);
        registro->Grava();
      });
}

void GravaInconsistente() {
  auto registro = Registro();
  Variant falso = Variant::Bool(false);
  registro->DefineConsistente(falso);
  registro->Grava();
}

RegistroGravado LeRegistroGravado(const std::string& declaracao) {
  std::string caminho = Config().Le(kApp, "DB", "DbAtual", "");
  auto banco = CriaComo<ConexaoBanco>(kClsidConexaoBanco)->AbreBanco(caminho);
  RegistroGravado r{Variant::Nulo(), Variant::Nulo()};
  if (!banco) return r;
  auto rs = banco->OpenRecordset("SELECT Consistente, Chave FROM tblDeclaração WHERE Declaração = " +
                                     NumeroParaSql(Variant::Str(declaracao), "Declaração"),
                                 kSnapshot);
  if (!rs->Eof()) r = {rs->Campo("Consistente"), rs->Campo("Chave")};
  return r;
}

}  // namespace kv
