// verificar-kv and validar-chave: the headless checker and the offline check of a recorded key.
#include <cstdio>

#include "checker/consistekv.h"
#include "cli/comandos.h"
#include "cli/saida.h"
#include "cli/verificacao.h"
#include "platform/erro.h"
#include "platform/texto.h"
#include "report/json.h"
#include "report/texto.h"

namespace kv::cli {

int VerificarKV(const Args& a) {
  Opcoes o(a, {"--banco", "--declaracao", "--exercicio", "--ie"}, {"--json"});
  PreparaHost(o, {.exercicioNaOpcao = true, .aceitaJet = false, .grava = true});
  const std::string declaracao = o.Valor("--declaracao"), exercicio = o.Valor("--exercicio");
  ConsisteKV checador;
  Variant ie = o.Tem("--ie") ? Variant::Str(o.Valor("--ie")) : Variant();
  Variant ano = Variant::Str(exercicio), numero = Variant::Str(declaracao);
  std::optional<ErroVerificacao> erro;
  try {
    checador.VerificaConsistencia(ie, ano, numero);
  } catch (const Erro& e) {
    erro = ErroVerificacao{e.numero(), e.descricao()};
  }
  // The readable tree is only for people; JSON has the entries alone.
  ResultadoVerificacao deixado = ArvoreDasEntradas(!o.Tem("--json"));
  const std::vector<std::vector<std::string>>& entradas = deixado.entradas;
  bool chaveFeita = !erro && entradas.empty();
  RegistroGravado r{Variant::Nulo(), Variant::Nulo()};
  if (chaveFeita) r = LeRegistroGravado(declaracao);
  bool consistente = !r.consistente.IsNull() && CBool(r.consistente);

  if (o.Tem("--json")) {
    EscritorJson j;
    j.Objeto().Chave("declaracao").Texto(declaracao).Chave("exercicio").Texto(exercicio);
    EscreveEntradas(j.Chave("entradas"), entradas);
    if (chaveFeita) {
      j.Chave("chave");
      r.chave.IsNull() ? j.Nulo() : j.Texto(TextoDe(r.chave));
      j.Chave("consistente").Logico(consistente);
    }
    if (erro) EscreveErro(j.Chave("erro"), *erro);
    EscreveCru(stdout, j.Fim().texto() + "\n");
  } else {
    // The same readable tree as verificar, built from the entries this check left.
    ResultadoVerificacao v;
    v.declaracao = declaracao;
    v.exercicio = exercicio;
    v.banco = deixado.banco;  // the hint names the database this check used
    v.entradas = entradas;
    v.erro = erro;
    v.arvore = deixado.arvore;
    std::string texto = TextoVerificacao(v, {.aoFim = DicaDeAceite});
    if (!erro) {
      std::string situacao = entradas.empty() ? "Nenhuma inconsistência nas regras do ConsisteKV.\n"
                                              : "Inconsistências encontradas: nenhuma chave gerada.\n";
      texto.insert(texto.find('\n') + 1, situacao);
    }
    if (chaveFeita) texto += "\nChave de consistência gravada: " + TextoDe(r.chave) + "\n";
    Escreve(stdout, texto);
  }
  if (erro) return 3;
  return chaveFeita && consistente ? 0 : 1;
}

int ValidarChave(const Args& a) {
  // --exercicio is accepted like the other commands', though a key does not depend on it.
  Opcoes o(a, {"--banco", "--declaracao", "--exercicio"}, {});
  PreparaHost(o, {.exercicio = false});
  const std::string declaracao = o.Valor("--declaracao");
  RegistroGravado r = LeRegistroGravado(declaracao);
  std::string gravada = TextoDe(r.chave);
  if (gravada.empty()) {
    std::printf("A declaração %s não tem chave de consistência gravada.\n", declaracao.c_str());
    return 1;
  }
  std::string calculada = ChaveDosDados(CLng(Variant::Str(declaracao)));
  if (calculada == gravada) {
    Escreve(stdout, "A chave gravada confere com os dados da declaração " + declaracao + ": " +
                        TextoVisivel(gravada) + "\n");
    return 0;
  }
  std::printf(
      "A chave gravada NÃO confere com os dados atuais da declaração %s.\n"
      "  chave gravada:             %s\n"
      "  chave dos dados atuais:    %s\n"
      "Os dados da declaração mudaram depois que a chave foi gerada.\n",
      declaracao.c_str(), TextoVisivel(gravada).c_str(), calculada.c_str());
  return 1;
}

}  // namespace kv::cli
