#include "cli/verificacao.h"

#include <QFileInfo>

#include "checker/consistekv.h"
#include "cli/json.h"
#include "host/host.h"
#include "platform/configuracao.h"
#include "platform/db/sqlite_banco.h"
#include "platform/erro.h"
#include "platform/texto.h"
#include "rules/frame/quadro.h"

namespace kv::cli {

void PreparaHost(const Opcoes& o) {
  // Everything the user typed is checked before anything is opened.
  if (o.Tem("--declaracao")) {
    std::string d = o.Valor("--declaracao");
    double v = 0;
    if (!ParseNumero(d, v) || d.find_first_not_of("0123456789") != std::string::npos || v < 1 ||
        v > 2147483647)
      throw ErroUso("número de declaração inválido: '" + d + "' (use um número inteiro positivo, como 12)");
  }
  if (o.Tem("--exercicio")) {
    std::string ano = o.Valor("--exercicio");
    if (ano.size() != 4 || ano.find_first_not_of("0123456789") != std::string::npos || ano < "1990" ||
        ano > "2100")
      throw ErroUso("exercício inválido: '" + ano + "' (use o ano com quatro dígitos, de 1990 a 2100)");
  }
  std::string banco;
  if (o.Tem("--banco")) {
    banco = QFileInfo(QString::fromStdString(o.Valor("--banco"))).absoluteFilePath().toStdString();
    if (std::string motivo = MotivoNaoEhBanco(banco); !motivo.empty())
      throw ErroUso("'" + o.Valor("--banco") + "': " + motivo);
  }
  host::RegistraComponentes(o.Tem("--somente-leitura"));
  ApagaRestoDaChave();
  // The options hold for this run only: KV.ini is the host's, and another run may be using it.
  if (o.Tem("--banco")) DefineValorDaExecucao(kApp, "DB", "DbAtual", banco);
  if (o.Tem("--exercicio"))
    DefineValorDaExecucao(kApp, "Exercicio", "ExercicioAtual", o.Valor("--exercicio"));
}

std::string ExercicioAtualTexto() {
  return Config().Le(kApp, "Exercicio", "ExercicioAtual", "");
}

void Coleta(ControleConsistencia& controle, Verificacao& v, bool explica) {
  v.entradas.clear();
  const ColecaoInconsistencias& c = ObtemInconsistencias();
  for (long i = 1; i <= c.Count(); ++i) v.entradas.push_back(c.Item(i));
  v.arvore.clear();
  std::string painel = controle.Mensagem().Valor();
  for (const NoRef& no : controle.ListaDeLocais().Nos()) {
    NoSaida s{no->chave, no->texto, no->imagem, "", std::nullopt, {}};
    if (no->pai.empty()) {
      v.arvore.push_back(std::move(s));
      continue;
    }
    if (explica) {
      try {
        controle.ListaDeLocais_NodeClick(no);
        s.mensagem = controle.Mensagem().Valor();
      } catch (const Erro& e) {
        s.erroMensagem = ErroSaida{e.numero(), e.descricao()};
      }
    }
    for (auto& cab : v.arvore)
      if (cab.chave == no->pai) cab.filhos.push_back(std::move(s));
  }
  // Explaining every item clicked through the panel: put the status text back.
  controle.Mensagem().Define(painel);
}

Verificacao Verifica(ControleConsistencia& controle, const std::string& declaracao, bool explica) {
  Verificacao v;
  v.declaracao = declaracao;
  v.exercicio = ExercicioAtualTexto();
  controle.DefineDeclaracao(Variant::Str(declaracao));
  controle.Mensagem().Define("");
  try {
    controle.MontaInconsistencias();
    std::string status = controle.Mensagem().Valor();
    if (status == kStatusConsistente || status == kStatusInconsistente) v.status = status;
    v.consistente = status == kStatusConsistente;
    v.aviso = controle.AvisoRegistro();
    v.gravacoes = Estado().gravacoes;
    if (!v.status) {
      std::string motivo = MotivoNaoEhBanco(Estado().caminhoBanco);
      v.erro = ErroSaida{3024, "O banco de dados não pôde ser aberto: '" + Estado().caminhoBanco + "'" +
                                   (motivo.empty() ? "" : " (" + motivo + ")")};
    }
  } catch (const Erro& e) {
    v.erro = ErroSaida{e.numero(), e.descricao()};
  } catch (const std::exception& e) {
    v.erro = ErroSaida{0, e.what()};
  }
  Coleta(controle, v, explica);
  return v;
}

int SaidaDe(const Verificacao& v) {
  return v.erro ? 3 : (v.consistente ? 0 : 1);
}

std::string JsonEntradas(const std::vector<std::vector<std::string>>& entradas) {
  std::string r = "[";
  for (size_t i = 0; i < entradas.size(); ++i) {
    r += i ? ", [" : "[";
    for (size_t j = 0; j < entradas[i].size(); ++j) r += (j ? ", " : "") + JsonTexto(entradas[i][j]);
    r += "]";
  }
  return r + "]";
}

std::string JsonErro(const ErroSaida& e) {
  return "{\"numero\": " + std::to_string(e.numero) + ", \"descricao\": " + JsonTexto(e.descricao) + "}";
}

namespace {
std::string JsonNo(const NoSaida& n, bool cabecalho) {
  std::string r = "{\"chave\": " + JsonTexto(n.chave) + ", \"texto\": " + JsonTexto(n.texto) +
                  ", \"imagem\": " + std::to_string(n.imagem);
  if (cabecalho) {
    r += ", \"filhos\": [";
    for (size_t i = 0; i < n.filhos.size(); ++i) r += (i ? ", " : "") + JsonNo(n.filhos[i], false);
    r += "]";
  } else {
    r += ", \"mensagem\": " + JsonTexto(n.mensagem);
    if (n.erroMensagem) r += ", \"erroMensagem\": " + JsonErro(*n.erroMensagem);
  }
  return r + "}";
}
}  // namespace

std::string JsonVerificacao(const Verificacao& v, bool comArvore) {
  std::string r = "{\"declaracao\": " + JsonTexto(v.declaracao) +
                  ", \"exercicio\": " + JsonTexto(v.exercicio) +
                  ", \"status\": " + (v.status ? JsonTexto(*v.status) : "null") +
                  ", \"consistente\": " + (v.consistente ? "true" : "false") +
                  ", \"entradas\": " + JsonEntradas(v.entradas);
  if (comArvore) {
    r += ", \"arvore\": [";
    for (size_t i = 0; i < v.arvore.size(); ++i) r += (i ? ", " : "") + JsonNo(v.arvore[i], true);
    r += "]";
  }
  if (!v.aviso.empty()) r += ", \"aviso\": " + JsonTexto(v.aviso);
  if (v.erro) r += ", \"erro\": " + JsonErro(*v.erro);
  return r + "}";
}

namespace {
const char* Marca(int imagem) {
  return imagem == 1 ? "◆" : imagem == 2 ? "✗" : "✓";
}

// Every line indented, blank ones left blank.
std::string Recuado(const std::string& texto, const std::string& recuo) {
  std::string r;
  bool inicio = true;
  for (char c : texto) {
    if (c == '\r') continue;
    if (inicio && c != '\n') r += recuo;
    r += c;
    inicio = c == '\n';
  }
  return r;
}
}  // namespace

// A text from the data that must stay on its line: a line break in a state name cannot start a line
// that looks like the program's own.
std::string NaLinha(const std::string& s) {
  return TextoVisivel(s);
}

std::string TextoVerificacao(const Verificacao& v, bool comStatus) {
  std::string r = "Declaração " + v.declaracao + ", exercício " +
                  (v.exercicio.empty() ? "(não definido)" : v.exercicio) + "\n";
  if (v.status && comStatus) r += *v.status + "\n";
  if (!v.aviso.empty()) r += "(A declaração estava gravada como consistente, mas " + v.aviso + ".)\n";
  for (const NoSaida& cab : v.arvore) {
    r += "\n" + std::string(Marca(cab.imagem)) + " " + cab.texto + "\n";
    for (const NoSaida& f : cab.filhos) {
      r += "  " + std::string(Marca(f.imagem)) + " " + NaLinha(f.texto) + "  [" + NaLinha(f.chave) + "]" +
           (f.imagem == 3 ? " (aceita)" : "") + "\n";
      if (!f.mensagem.empty()) r += Recuado(f.mensagem, "      ") + "\n";
      if (f.imagem == kImagemAberta && ControleConsistencia::PodeSerAceita(f.chave))
        r += "      Para aceitar como exceção: consistir --aceitar '" + NaLinha(f.chave) + "'\n";
      if (f.erroMensagem)
        r += "      (explicação indisponível: erro " + std::to_string(f.erroMensagem->numero) + ": " +
             f.erroMensagem->descricao + ")\n";
    }
  }
  for (const std::string& g : v.gravacoes) r += "\nGravação: " + g + "\n";
  if (v.erro) {
    r += "\nA verificação falhou: erro " + std::to_string(v.erro->numero) + ": " + v.erro->descricao + "\n";
    if (!v.entradas.empty()) {
      r += "Achados registrados antes do erro:\n";
      for (const auto& e : v.entradas) {
        std::string linha;
        for (size_t i = 0; i < e.size(); ++i) linha += (i ? " # " : "") + NaLinha(e[i]);
        r += "  " + linha + "\n";
      }
    }
  }
  return r;
}

void ArvoreDasEntradas(Verificacao& v) {
  ControleConsistencia controle;
  controle.MostraEntradas(kImagemAberta);
  Coleta(controle, v);
}  // the control's end empties the store, as it does for any control

Registro LeRegistro(const std::string& declaracao) {
  std::string caminho = Config().Le(kApp, "DB", "DbAtual", "");
  auto banco = CriaComo<ConexaoBanco>(kClsidConexaoBanco)->AbreBanco(caminho);
  Registro r{Variant::Nulo(), Variant::Nulo()};
  if (!banco) return r;
  Variant d = Variant::Str(declaracao);
  auto rs = banco->OpenRecordset(
      "SELECT Consistente, Chave FROM tblDeclaração WHERE Declaração = " + NumeroParaSql(d, "Declaração"),
      kSnapshot);
  if (!rs->Eof()) r = {rs->Campo("Consistente"), rs->Campo("Chave")};
  return r;
}

}  // namespace kv::cli
