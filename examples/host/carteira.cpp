// A host that lists where every declaration of its databases and folders stands, through the portfolio
// engine: each file checked on worker threads, the results in order.
//
//   carteira-de-exemplo EXERCICIO CAMINHO...
#include <kvconsistencia/kvconsistencia.h>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "uso: %s EXERCICIO CAMINHO...\n", argv[0]);
    return 2;
  }
  kv::host::RegistraComponentes();
  kv::OpcoesDaCarteira opcoes;
  opcoes.exercicio = argv[1];
  const std::vector<std::string> caminhos(argv + 2, argv + argc);
  try {
    const kv::ResumoDaCarteira resumo = kv::VerificaCarteira(
        caminhos, opcoes, [](const kv::ArquivoDaCarteira& arquivo, kv::ResultadoDaCarteira& r) {
          if (!r.verificacao) {
            std::printf("%s: ilegível: %s\n", arquivo.nome.c_str(), arquivo.erro->descricao.c_str());
            return;
          }
          const kv::ResultadoVerificacao& v = *r.verificacao;
          std::printf("%s, declaração %s: %s\n", arquivo.nome.c_str(), v.declaracao.c_str(),
                      v.erro          ? "erro"
                      : v.consistente ? "consistente"
                                      : "inconsistente");
        });
    std::printf(
        "%ld declarações: %ld consistentes, %ld inconsistentes, %ld com falha, %ld arquivos ilegíveis\n",
        resumo.verificadas, resumo.consistentes, resumo.inconsistentes, resumo.falhas, resumo.ilegiveis);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 2;
  }
  return 0;
}
