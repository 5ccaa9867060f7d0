// exemplo, verificar and consistir: the control's check and final check without a window.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "cli/comandos.h"
#include "cli/saida.h"
#include "cli/verificacao.h"
#include "host/exemplo.h"
#include "platform/arquivo.h"
#include "report/html.h"
#include "report/json.h"
#include "report/texto.h"

namespace kv::cli {

int Exemplo(const Args& a) {
  Opcoes o(a, {}, {}, 1);
  std::string caminho = o.Posicionais().empty() ? "exemplo.db" : o.Posicionais()[0];
  struct stat st {};
  if (::lstat(caminho.c_str(), &st) == 0)
    throw ErroUso("o arquivo '" + caminho + "' já existe; apague-o ou escolha outro nome");
  ConferePasta(caminho, "de '" + caminho + "'");
  std::vector<host::DeclaracaoExemplo> declaracoes;
  try {
    declaracoes = host::CriaExemplo(caminho);
  } catch (...) {
    ::unlink(caminho.c_str());  // never leave a half-made example behind
    throw;
  }
  Escreve(stdout, "Banco de dados de exemplo criado: " + caminho + "\n\n");
  std::sort(
      declaracoes.begin(), declaracoes.end(),
      [](const host::DeclaracaoExemplo& a, const host::DeclaracaoExemplo& b) { return a.numero < b.numero; });
  for (const auto& d : declaracoes) std::printf("  Declaração %2d: %s\n", d.numero, d.mostra.c_str());
  Escreve(stdout,
          "\nOs achados valem para exercícios a partir de 2001. Experimente:\n"
          "  kvconsistencia verificar --banco " +
              ParaShell(caminho) + " --declaracao 12 --exercicio 2002\n");
  return 0;
}

// Where a report went, on standard error so that JSON output stays JSON.
void DizOndeGravou(const std::string& html) {
  Escreve(stderr, "kvconsistencia: relatório gravado em " + Absoluto(html) + "\n");
}

int Verificar(const Args& a) {
  Opcoes o(a, {"--banco", "--declaracao", "--exercicio", "--html"}, {"--json", "--somente-leitura"});
  PreparaHost(o);
  const std::string declaracao = o.Valor("--declaracao");
  if (o.Tem("--html")) VerificaSaida(o.Valor("--html"));
  ControleConsistencia controle;
  const ResultadoVerificacao v = Verifica(controle, declaracao);
  if (o.Tem("--json"))
    EscreveCru(stdout, JsonVerificacao(v) + "\n");
  else
    Escreve(stdout, TextoVerificacao(v, {.aoFim = DicaDeAceite}));
  std::fflush(stdout);
  if (o.Tem("--html")) {
    GravaRelatorio(o.Valor("--html"), {v}, v.banco, v.exercicio);
    DizOndeGravou(o.Valor("--html"));
  }
  return SaidaDe(v);
}

// The final check's message boxes, kept to be printed as plain lines of the outcome.
class CaixaDaSaida : public CaixaMensagem {
 public:
  int Mostra(const std::string& texto, int, const std::string&) override {
    textos.push_back(texto);
    return kBotaoOk;
  }
  std::vector<std::string> textos;
};

// What the acceptances asked for became.
struct Aceites {
  std::vector<std::string> aceitas;
  std::vector<std::pair<std::string, std::string>> recusadas;  // key and why
};

// Each key as a double-click on its item would take it.
Aceites Aceita(ControleConsistencia& controle, const std::vector<std::string>& chaves) {
  std::vector<std::string> itens;  // for a mistyped key, the nearest
  for (const NoRef& no : controle.ListaDeLocais().Nos())
    if (!no->pai.empty()) itens.push_back(no->chave);
  Aceites r;
  for (const std::string& chave : chaves) switch (controle.Aceita(chave)) {
      case ControleConsistencia::Aceite::Aceito:
        r.aceitas.push_back(chave);
        break;
      case ControleConsistencia::Aceite::NaoHaItem:
        r.recusadas.emplace_back(chave,
                                 "não há inconsistência com essa chave na árvore" + QuisDizer(chave, itens));
        break;
      case ControleConsistencia::Aceite::NaoPodeSerAceito:
        r.recusadas.emplace_back(chave, "esta inconsistência não pode ser aceita; corrija a declaração");
        break;
    }
  return r;
}

// Where the declaration stands after the acceptances and the final check.
struct Desfecho {
  bool consistente = false;
  std::string chave;
  // Not before the acceptances; after a failure, nowhere that can be told.
  std::optional<std::string> situacao;
};

Desfecho Final(const ResultadoVerificacao& v, const std::optional<RegistroGravado>& registro) {
  Desfecho d{registro && !registro->consistente.IsNull() && CBool(registro->consistente),
             registro ? TextoDe(registro->chave) : "", std::nullopt};
  if (!v.erro && registro) d.situacao = d.consistente ? kStatusConsistente : kStatusInconsistente;
  return d;
}

std::string JsonConsistir(const ResultadoVerificacao& v, const Aceites& a, const Desfecho& d) {
  EscritorJson j;
  j.Objeto().Chave("declaracao").Texto(v.declaracao).Chave("exercicio").Texto(v.exercicio).Chave("status");
  d.situacao ? j.Texto(*d.situacao) : j.Nulo();
  j.Chave("consistente").Logico(d.consistente).Chave("chave");
  d.chave.empty() ? j.Nulo() : j.Texto(d.chave);
  j.Chave("aceitas").Textos(a.aceitas).Chave("recusadas").Lista();
  for (const auto& [chave, motivo] : a.recusadas)
    j.Objeto().Chave("chave").Texto(chave).Chave("motivo").Texto(motivo).Fim();
  EscreveEntradas(j.Fim().Chave("entradas"), v.entradas);
  if (v.erro) EscreveErro(j.Chave("erro"), *v.erro);
  return j.Fim().texto() + "\n";
}

// The tree as it stands after the acceptances, then the outcome, all on standard output.
std::string TextoConsistir(const ResultadoVerificacao& v, const Aceites& a, const Desfecho& d,
                           const std::vector<std::string>& caixas) {
  std::string texto = TextoVerificacao(v, {.comStatus = false, .aoFim = DicaDeAceite});
  for (const std::string& c : a.aceitas) texto += "\nAceita: " + c;
  for (const auto& [c, motivo] : a.recusadas) texto += "\nRecusada: " + c + ": " + motivo;
  if (!a.aceitas.empty() || !a.recusadas.empty()) texto += "\n";
  if (d.situacao) texto += "\n" + *d.situacao + "\n";
  for (const std::string& t : caixas) texto += t + "\n";
  if (!v.erro) {
    texto += std::string("Resultado gravado: ") + (d.consistente ? "consistente" : "inconsistente") + "\n";
    if (!d.chave.empty()) texto += "Chave de consistência: " + d.chave + "\n";
  }
  return texto;
}

int Consistir(const Args& a) {
  Opcoes o(a, {"--banco", "--declaracao", "--exercicio", "--aceitar"}, {"--json"}, 0, {"--aceitar"});
  PreparaHost(o, {.aceitaJet = false, .grava = true});
  const std::string declaracao = o.Valor("--declaracao");
  ControleConsistencia controle;
  auto caixa = std::make_shared<CaixaDaSaida>();
  controle.DefineInterface(nullptr, nullptr, nullptr, caixa);
  ResultadoVerificacao v = Verifica(controle, declaracao);
  Aceites aceites;
  std::optional<RegistroGravado> registro;
  if (!v.erro) {
    aceites = Aceita(controle, o.Todos("--aceitar"));
    try {
      controle.MostrouMsg();
      registro = LeRegistroGravado(declaracao);
    } catch (const Erro& e) {
      v.erro = ErroVerificacao{e.numero(), e.descricao()};
    }
    // The tree after the acceptances; the check's own status, warning and writes stay as they were.
    ResultadoVerificacao depois = controle.Resultado();
    v.entradas = std::move(depois.entradas);
    v.arvore = std::move(depois.arvore);
  }
  const Desfecho d = Final(v, registro);
  if (o.Tem("--json"))
    EscreveCru(stdout, JsonConsistir(v, aceites, d));
  else
    Escreve(stdout, TextoConsistir(v, aceites, d, caixa->textos));
  if (v.erro) return 3;
  return d.consistente ? 0 : 1;
}

}  // namespace kv::cli
