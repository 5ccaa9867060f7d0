#include <QtGlobal>

#include "cli/comandos.h"
#include "jet/leitor.h"
#include "platform/db/sqlite_banco.h"

namespace kv::cli {

std::string Versoes() {
  return std::string("kvconsistencia ") + KV_VERSAO + "\nQt " + qVersion() + ", SQLite " + VersaoSqlite() +
         ", libmdb " + jet::VersaoLibmdb() + "\n";
}

namespace {

constexpr const char* kBancoEExercicio =
    "  --banco ARQUIVO    banco de dados da declaração (sem ele, DbAtual da seção [DB] das configurações)\n"
    "  --exercicio AAAA   exercício, de 1990 a 2100 (sem ele, ExercicioAtual da seção [Exercicio])\n";
constexpr const char* kDeclaracao = "  --declaracao N     número da declaração (inteiro positivo)\n";
constexpr const char* kJetSoLido =
    "Um arquivo Jet (.mdb, .accdb) em --banco é lido numa cópia temporária, só para leitura.\n";
constexpr const char* kSoDestaExecucao =
    "--banco e --exercicio valem só para esta execução: estes comandos não os gravam nas configurações\n"
    "($XDG_CONFIG_HOME/KV.ini, em geral ~/.config/KV.ini), que são do programa hospedeiro.\n";

}  // namespace

namespace {

std::string AjudaExemplo() {
  return "Uso: kvconsistencia exemplo [ARQUIVO]\n\n"
         "Cria o banco de dados de exemplo (padrão: exemplo.db), com declarações que mostram cada grupo\n"
         "de inconsistências e uma declaração limpa, e diz o que cada uma mostra. Não substitui um\n"
         "arquivo existente.\n";
}

std::string AjudaVerificar() {
  return "Uso: kvconsistencia verificar --declaracao N [--banco ARQUIVO] [--exercicio AAAA] [--json]\n"
         "                             [--html ARQUIVO] [--somente-leitura]\n\n"
         "Verificação completa da declaração, como o controle a faz, sem janela: situação, árvore de\n"
         "inconsistências, a explicação de cada item e, no fim, os erros a corrigir e o comando que\n"
         "aceita todos os avisos e grava a chave.\n\n" +
         std::string(kDeclaracao) + std::string(kBancoEExercicio) +
         "  --json             um objeto JSON na saída padrão\n"
         "  --html ARQUIVO     também grava um relatório HTML (nunca sobre um banco de dados)\n"
         "  --somente-leitura  abre o banco só para leitura: num exercício anterior a 2001 a resposta\n"
         "                     do enquadramento (DeAcordo) é informada em vez de gravada\n\n" +
         kJetSoLido + kSoDestaExecucao +
         "\nSaída: 0 consistente, 1 inconsistente, 2 uso incorreto (nada é aberto), 3 a verificação "
         "falhou.\n";
}

std::string AjudaConsistir() {
  return "Uso: kvconsistencia consistir --declaracao N [--banco ARQUIVO] [--exercicio AAAA]\n"
         "                             [--aceitar CHAVE]... [--json]\n\n"
         "Verifica, aceita cada inconsistência nomeada (como o duplo clique) e faz a verificação final\n"
         "do botão Fechar: grava a chave de consistência, ou grava a declaração como inconsistente.\n"
         "Uma chave que não pode ser aceita é informada como recusada.\n\n"
         "  --aceitar CHAVE    aceita o aviso com essa chave (a chave aparece entre colchetes na saída de\n"
         "                     'verificar'); pode ser repetida\n" +
         std::string(kDeclaracao) + std::string(kBancoEExercicio) +
         "  --json             um objeto JSON: situação depois dos aceites e da verificação final, chave,\n"
         "                     aceitas, recusadas e entradas\n\n" +
         kSoDestaExecucao +
         "\nSaída: 0 gravada consistente, 1 gravada inconsistente, 2 uso incorreto, 3 falha.\n";
}

std::string AjudaVerificarKv() {
  return "Uso: kvconsistencia verificar-kv --declaracao N --exercicio AAAA [--banco ARQUIVO] [--ie IE]\n"
         "                                [--json]\n\n"
         "Verificação sem janela do ConsisteKV (contribuinte, interestaduais, TOVIR e enquadramento); sem\n"
         "inconsistências, gera e grava a chave de consistência. Como o ConsisteKV, grava o exercício\n"
         "como exercício atual nas configurações.\n\n"
         "  --declaracao N     número da declaração (inteiro positivo)\n"
         "  --exercicio AAAA   obrigatório: o exercício passado ao ConsisteKV (gravado como\n"
         "                     ExercicioAtual nas configurações, como o ConsisteKV faz)\n"
         "  --ie IE            inscrição estadual passada ao ConsisteKV; fica à disposição do\n"
         "                     hospedeiro e não muda a verificação nem a chave\n"
         "  --banco ARQUIVO    banco de dados (sem ele, DbAtual da seção [DB] das configurações)\n"
         "  --json             um objeto JSON: declaração, exercício, entradas e, se gerada, a chave\n\n"
         "Um arquivo Jet nunca é gravado: importe-o antes (kvconsistencia importar) e use a cópia.\n\n"
         "Saída: 0 chave gravada, 1 inconsistente, 2 uso incorreto, 3 falha.\n";
}

std::string AjudaValidarChave() {
  return "Uso: kvconsistencia validar-chave --declaracao N [--banco ARQUIVO]\n\n"
         "Diz se a chave gravada ainda corresponde aos dados da declaração.\n\n"
         "  --declaracao N     número da declaração (inteiro positivo)\n"
         "  --exercicio AAAA   aceito como nos outros comandos; a chave não depende dele\n"
         "  --banco ARQUIVO    banco de dados (sem ele, DbAtual da seção [DB] das configurações)\n\n" +
         std::string(kJetSoLido) +
         "\n"
         "Saída: 0 a chave confere, 1 não confere (ou não há chave), 2 uso incorreto, 3 falha.\n";
}

std::string AjudaLote() {
  return "Uso: kvconsistencia lote --exercicio AAAA [--banco ARQUIVO]... [CAMINHO]... [--tarefas N] "
         "[--json]\n"
         "                        [--html ARQUIVO] [--somente-leitura] [--detalhes] [--so-problemas]\n"
         "                        [--conferir-chaves]\n\n"
         "Verifica todas as declarações do banco, em paralelo (padrão: uma tarefa por núcleo), com barra\n"
         "de progresso no terminal e um resumo no fim. Ctrl-C para depois das declarações em andamento.\n"
         "Com vários bancos ou pastas, verifica a carteira inteira numa execução: as pastas são "
         "procuradas\n"
         "com as subpastas por .db, .sqlite, .mdb e .accdb (links não são seguidos, cada arquivo conta "
         "uma\n"
         "vez), cada linha nomeia o arquivo, um arquivo ilegível vira uma linha com o erro e os outros\n"
         "seguem, e o resumo lista os arquivos com problemas e cada tipo de achado pela quantidade.\n"
         "Arquivos Jet são lidos numa cópia temporária, só para leitura; nunca são gravados.\n"
         "--banco e --exercicio valem só para esta execução.\n\n"
         "  --banco ARQUIVO    banco de dados com as declarações (pode repetir)\n"
         "  CAMINHO            outro banco de dados, ou uma pasta com bancos de dados\n"
         "  --exercicio AAAA   exercício, de 1990 a 2100\n"
         "  --tarefas N        quantas declarações verificar ao mesmo tempo, de 1 a 256 (padrão: uma por\n"
         "                     núcleo)\n"
         "  --json             JSON Lines: um objeto por declaração, na ordem das declarações, e por fim\n"
         "                     {\"resumo\": ...}; com vários arquivos, cada objeto traz \"banco\"\n"
         "  --html ARQUIVO     também grava um relatório HTML com o resumo e todas as declarações\n"
         "  --somente-leitura  abre o banco só para leitura (DeAcordo informado em vez de gravado)\n"
         "  --detalhes         com --json, cada linha traz também os valores comparados de cada achado\n"
         "                     (\"evidencias\")\n"
         "  --so-problemas     mostra só as declarações inconsistentes, com falha ou com aviso (e os\n"
         "                     arquivos ilegíveis); o resumo conta todas\n"
         "  --conferir-chaves  também confere a chave gravada das declarações sem achados (custa algumas\n"
         "                     verificações por declaração); a das declarações com achados é sempre\n"
         "                     conferida\n\n"
         "Saída: 0 todas consistentes, 1 alguma inconsistente, 2 uso incorreto, 3 alguma declaração ou\n"
         "arquivo falhou, 130 interrompido.\n";
}

std::string AjudaImportar() {
  return "Uso: kvconsistencia importar ORIGEM.mdb DESTINO.db [--substituir] [--json]\n\n"
         "Copia todas as tabelas de um arquivo Jet do programa hospedeiro (.mdb de Jet 3 ou 4, .accdb) "
         "para\n"
         "um novo banco de dados SQLite que os outros comandos leem: mesmos nomes de tabelas e colunas,\n"
         "valores monetários exatos, datas de qualquer ano, Nulo separado de texto vazio. A origem só é\n"
         "lida. A cópia é uma transação num arquivo temporário que só no fim toma o lugar do destino: um\n"
         "erro ou Ctrl-C não deixa destino algum.\n\n"
         "  --substituir   troca um destino que já existe (sem ela, um destino existente é recusado)\n"
         "  --json         um objeto JSON com as tabelas e suas linhas\n\n"
         "Saída: 0 importado, 2 uso incorreto ou origem que não é Jet (nada é gravado), 3 arquivo "
         "danificado\n"
         "ou truncado (nada é gravado), 130 interrompido.\n";
}

std::string AjudaJanela() {
  return "Uso: kvconsistencia janela --declaracao N [--banco ARQUIVO] [--exercicio AAAA]\n"
         "     kvconsistencia janela [--exercicio AAAA] [--banco ARQUIVO]... [ARQUIVO|PASTA]...\n"
         "     kvconsistencia-janela [ARQUIVO|PASTA]...\n\n"
         "Com --declaracao, mostra o controle de consistência numa janela. Setas escolhem e explicam um\n"
         "item, Enter ou Espaço o aceitam como o duplo clique. Fechar (ou Esc, ou fechar a janela) faz a\n"
         "verificação final; a barra de estado diz sempre onde a declaração está.\n\n"
         "Sem --declaracao, abre a janela principal sobre os bancos e pastas dados (também pelo menu de\n"
         "aplicativos): todas as declarações numa tabela, verificadas em segundo plano; Enter numa linha\n"
         "abre a declaração.\n\n" +
         std::string(kDeclaracao) + std::string(kBancoEExercicio) +
         "\nSaída: 0 gravada consistente, 1 gravada inconsistente, 2 uso incorreto ou sem tela, 3 a\n"
         "verificação final falhou com um erro; a janela principal sai com 0.\n";
}

}  // namespace

std::string Ajuda(const std::string& comando) {
  static const std::pair<const char*, std::string (*)()> kAjudas[] = {
      {"exemplo", AjudaExemplo},
      {"verificar", AjudaVerificar},
      {"consistir", AjudaConsistir},
      {"verificar-kv", AjudaVerificarKv},
      {"validar-chave", AjudaValidarChave},
      {"lote", AjudaLote},
      {"importar", AjudaImportar},
      {"janela", AjudaJanela},
  };
  for (const auto& [nome, ajuda] : kAjudas)
    if (comando == nome) return ajuda();
  return "Uso: kvconsistencia COMANDO [OPÇÕES]\n\n"
         "Verifica a consistência de declarações do regime Tarvo antes da transmissão.\n\n"
         "Comandos:\n"
         "  exemplo [ARQUIVO]   cria um banco de dados de exemplo\n"
         "  verificar           verificação completa de uma declaração (árvore e explicações)\n"
         "  consistir           verificação, aceites e verificação final com gravação da chave\n"
         "  verificar-kv        verificação sem janela do ConsisteKV, com a chave\n"
         "  validar-chave       confere a chave gravada com os dados da declaração\n"
         "  lote                verifica todas as declarações de um banco, ou de vários bancos e pastas\n"
         "  janela              mostra o controle numa janela\n"
         "  importar ORIGEM DESTINO  copia um arquivo Jet (.mdb, .accdb) para um banco SQLite\n\n" +
         std::string(kSoDestaExecucao) +
         "Sem eles valem as configurações; 'lote' exige os dois e 'verificar-kv' exige --exercicio.\n"
         "Valores em reais seguem as configurações regionais (LC_NUMERIC ou LANG, como pt_BR.UTF-8).\n\n"
         "Use 'kvconsistencia COMANDO --help' para as opções de cada comando e\n"
         "'kvconsistencia --version' para a versão do programa e das bibliotecas.\n";
}

}  // namespace kv::cli
