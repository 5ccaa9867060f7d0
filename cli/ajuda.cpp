#include "cli/comandos.h"

namespace kv::cli {

std::string Ajuda(const std::string& comando) {
  if (comando == "exemplo")
    return "Uso: kvconsistencia exemplo [ARQUIVO]\n\n"
           "Cria o banco de dados de exemplo (padrão: exemplo.db), com declarações que mostram cada grupo "
           "de\n"
           "inconsistências e uma declaração limpa, e diz o que cada uma mostra. Não substitui um arquivo "
           "existente.\n";
  if (comando == "verificar")
    return "Uso: kvconsistencia verificar --banco ARQUIVO --declaracao N [--exercicio AAAA] [--json] [--html "
           "ARQUIVO]\n\n"
           "Verificação completa da declaração, como o controle a faz, sem janela: situação, árvore de\n"
           "inconsistências e a explicação de cada item.\n\n"
           "  --banco ARQUIVO    banco de dados da declaração (gravado como banco atual nas configurações)\n"
           "  --declaracao N     número da declaração\n"
           "  --exercicio AAAA   exercício (gravado como exercício atual); sem ele vale o das configurações\n"
           "  --json             um objeto JSON na saída padrão\n"
           "  --html ARQUIVO     também grava um relatório HTML\n\n"
           "Saída: 0 consistente, 1 inconsistente, 2 uso incorreto, 3 a verificação falhou.\n";
  if (comando == "consistir")
    return "Uso: kvconsistencia consistir --banco ARQUIVO --declaracao N [--exercicio AAAA] [--aceitar "
           "CHAVE]...\n"
           "                            [--json]\n\n"
           "Verifica, aceita cada inconsistência nomeada (como o duplo clique) e faz a verificação final do "
           "botão\n"
           "Fechar: grava a chave de consistência, ou grava a declaração como inconsistente.\n"
           "Uma chave que não pode ser aceita é informada como recusada.\n\n"
           "Saída: 0 gravada consistente, 1 inconsistente, 2 uso incorreto, 3 falha.\n";
  if (comando == "verificar-kv")
    return "Uso: kvconsistencia verificar-kv --banco ARQUIVO --declaracao N --exercicio AAAA [--ie IE] "
           "[--json]\n\n"
           "Verificação sem janela do ConsisteKV (contribuinte, interestaduais, TOVIR e enquadramento); sem\n"
           "inconsistências, gera e grava a chave de consistência.\n\n"
           "Saída: 0 chave gravada, 1 inconsistente, 2 uso incorreto, 3 falha.\n";
  if (comando == "validar-chave")
    return "Uso: kvconsistencia validar-chave --banco ARQUIVO --declaracao N\n\n"
           "Diz se a chave gravada ainda corresponde aos dados da declaração.\n\n"
           "Saída: 0 a chave confere, 1 não confere (ou não há chave), 2 uso incorreto, 3 falha.\n";
  if (comando == "lote")
    return "Uso: kvconsistencia lote --banco ARQUIVO --exercicio AAAA [--tarefas N] [--json] [--html "
           "ARQUIVO]\n\n"
           "Verifica todas as declarações do banco, em paralelo (padrão: uma tarefa por núcleo), com barra "
           "de\n"
           "progresso no terminal e um resumo no fim. Ctrl-C para depois das declarações em andamento.\n\n"
           "  --json    JSON Lines: um objeto por declaração, na ordem das declarações, e por fim "
           "{\"resumo\": ...}\n\n"
           "Saída: 0 todas consistentes, 1 alguma inconsistente, 2 uso incorreto, 3 alguma falhou, 130 "
           "interrompido.\n";
  if (comando == "janela")
    return "Uso: kvconsistencia janela --banco ARQUIVO --declaracao N [--exercicio AAAA]\n\n"
           "Mostra o controle de consistência numa janela. Fechar faz a verificação final.\n\n"
           "Saída: 0 gravada consistente, 1 caso contrário.\n";
  return "Uso: kvconsistencia COMANDO [OPÇÕES]\n\n"
         "Verifica a consistência de declarações do regime Tarvo antes da transmissão.\n\n"
         "Comandos:\n"
         "  exemplo [ARQUIVO]   cria um banco de dados de exemplo\n"
         "  verificar           verificação completa de uma declaração (árvore e explicações)\n"
         "  consistir           verificação, aceites e verificação final com gravação da chave\n"
         "  verificar-kv        verificação sem janela do ConsisteKV, com a chave\n"
         "  validar-chave       confere a chave gravada com os dados da declaração\n"
         "  lote                verifica todas as declarações de um banco\n"
         "  janela              mostra o controle numa janela\n\n"
         "Use 'kvconsistencia COMANDO --help' para as opções de cada comando.\n";
}

}  // namespace kv::cli
