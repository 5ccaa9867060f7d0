// exemplo, verificar and consistir: the control's check and final check without a window.
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>

#include "cli/comandos.h"
#include "cli/json.h"
#include "cli/relatorio.h"
#include "cli/saida.h"
#include "cli/verificacao.h"
#include "host/exemplo.h"

namespace kv::cli {

int Exemplo(const Args& a) {
  Opcoes o(a, {}, {}, 1);
  std::string caminho = o.Posicionais().empty() ? "exemplo.db" : o.Posicionais()[0];
  if (QFileInfo::exists(QString::fromStdString(caminho)))
    throw ErroUso("o arquivo '" + caminho + "' já existe; apague-o ou escolha outro nome");
  std::vector<host::DeclaracaoExemplo> declaracoes;
  try {
    declaracoes = host::CriaExemplo(caminho);
  } catch (...) {
    QFile::remove(QString::fromStdString(caminho));  // never leave a half-made example behind
    throw;
  }
  std::printf("Banco de dados de exemplo criado: %s\n\n", caminho.c_str());
  std::sort(
      declaracoes.begin(), declaracoes.end(),
      [](const host::DeclaracaoExemplo& a, const host::DeclaracaoExemplo& b) { return a.numero < b.numero; });
  for (const auto& d : declaracoes) std::printf("  Declaração %2d: %s\n", d.numero, d.mostra.c_str());
  std::printf(
      "\nOs achados valem para exercícios a partir de 2001. Experimente:\n"
      "  kvconsistencia verificar --banco %s --declaracao 12 --exercicio 2002\n",
      caminho.c_str());
  return 0;
}

int Verificar(const Args& a) {
  Opcoes o(a, {"--banco", "--declaracao", "--exercicio", "--html"}, {"--json", "--somente-leitura"});
  std::string declaracao = o.Exige("--declaracao");
  PreparaHost(o);
  if (o.Tem("--html")) VerificaSaida(o.Valor("--html"));
  ControleConsistencia controle;
  Verificacao v = Verifica(controle, declaracao);
  if (o.Tem("--json"))
    EscreveCru(stdout, JsonVerificacao(v) + "\n");
  else
    Escreve(stdout, TextoVerificacao(v));
  std::fflush(stdout);
  if (o.Tem("--html")) GravaRelatorio(o.Valor("--html"), {v});
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

int Consistir(const Args& a) {
  Opcoes o(a, {"--banco", "--declaracao", "--exercicio", "--aceitar"}, {"--json"}, 0, {"--aceitar"});
  std::string declaracao = o.Exige("--declaracao");
  PreparaHost(o);
  ControleConsistencia controle;
  auto caixa = std::make_shared<CaixaDaSaida>();
  controle.DefineInterface(nullptr, nullptr, nullptr, caixa);
  Verificacao v = Verifica(controle, declaracao);
  std::vector<std::string> aceitas;
  std::vector<std::pair<std::string, std::string>> recusadas;
  std::optional<Registro> registro;
  if (!v.erro) {
    for (const std::string& chave : o.Todos("--aceitar")) {
      NoRef no = controle.ListaDeLocais().Busca(chave);
      if (!no || no->pai.empty()) {
        recusadas.emplace_back(chave, "não há inconsistência com essa chave na árvore");
        continue;
      }
      if (no->imagem != kImagemAceita) {
        try {
          controle.ListaDeLocais_NodeClick(no);
        } catch (const Erro&) {
          // The explanation failed; the node is selected all the same, as a click does.
        }
        controle.ListaDeLocais_DblClick();
      }
      if (no->imagem == kImagemAceita)
        aceitas.push_back(chave);
      else
        recusadas.emplace_back(chave, "esta inconsistência não pode ser aceita; corrija a declaração");
    }
    std::optional<ErroSaida> erro;
    try {
      controle.MostrouMsg();
      registro = LeRegistro(declaracao);
    } catch (const Erro& e) {
      erro = ErroSaida{e.numero(), e.descricao()};
    }
    // The tree after the acceptances; the check's own status, warning and writes stay as they were.
    ResultadoVerificacao depois = controle.Resultado();
    v.entradas = std::move(depois.entradas);
    v.arvore = std::move(depois.arvore);
    v.erro = erro;
  }
  bool gravadaConsistente = registro && !registro->consistente.IsNull() && CBool(registro->consistente);
  std::string chave = registro ? TextoDe(registro->chave) : "";
  // Where the declaration stands after the acceptances and the final check, not before them; after a
  // failure, nowhere that can be told.
  std::optional<std::string> situacao;
  if (!v.erro && registro) situacao = gravadaConsistente ? kStatusConsistente : kStatusInconsistente;
  if (o.Tem("--json")) {
    std::string r = "{\"declaracao\": " + JsonTexto(v.declaracao) +
                    ", \"exercicio\": " + JsonTexto(v.exercicio) +
                    ", \"status\": " + (situacao ? JsonTexto(*situacao) : "null") +
                    ", \"consistente\": " + (gravadaConsistente ? "true" : "false") +
                    ", \"chave\": " + (chave.empty() ? "null" : JsonTexto(chave)) + ", \"aceitas\": [";
    for (size_t i = 0; i < aceitas.size(); ++i) r += (i ? ", " : "") + JsonTexto(aceitas[i]);
    r += "], \"recusadas\": [";
    for (size_t i = 0; i < recusadas.size(); ++i)
      r += (i ? ", " : "") + std::string("{\"chave\": ") + JsonTexto(recusadas[i].first) +
           ", \"motivo\": " + JsonTexto(recusadas[i].second) + "}";
    r += "], \"entradas\": " + JsonEntradas(v.entradas);
    if (v.erro) r += ", \"erro\": " + JsonErro(*v.erro);
    EscreveCru(stdout, r + "}\n");
  } else {
    // The tree as it stands after the acceptances, then the outcome, all on standard output.
    std::string texto = TextoVerificacao(v, false);
    for (const std::string& c : aceitas) texto += "\nAceita: " + c;
    for (const auto& [c, motivo] : recusadas) texto += "\nRecusada: " + c + ": " + motivo;
    if (!aceitas.empty() || !recusadas.empty()) texto += "\n";
    if (situacao) texto += "\n" + *situacao + "\n";
    for (const std::string& t : caixa->textos) texto += t + "\n";
    if (!v.erro) {
      texto +=
          std::string("Resultado gravado: ") + (gravadaConsistente ? "consistente" : "inconsistente") + "\n";
      if (!chave.empty()) texto += "Chave de consistência: " + chave + "\n";
    }
    Escreve(stdout, texto);
  }
  if (v.erro) return 3;
  return gravadaConsistente ? 0 : 1;
}

}  // namespace kv::cli
