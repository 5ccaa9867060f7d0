#include "cli/verificacao.h"

#include <QString>

#include "checker/consistekv.h"
#include "cli/json.h"
#include "cli/saida.h"
#include "host/host.h"
#include "jet/importacao.h"
#include "platform/arquivo.h"
#include "platform/configuracao.h"
#include "platform/db/esquema.h"
#include "platform/db/sqlite_banco.h"
#include "platform/erro.h"
#include "platform/temporaria.h"
#include "platform/texto.h"

namespace kv::cli {

namespace {

// The settings key that would supply a value, for messages.
std::string NaConfiguracao(const char* secao, const char* chave) {
  return std::string(chave) + " na seção [" + secao + "] de " + ArquivoConfiguracao(kApp);
}

}  // namespace

void ConfereBancoDeDeclaracoes(const std::string& caminho, const std::string& declaracao) try {
  // No wait: a database busy now is the check's to wait for, once (the wait the documentation gives).
  auto banco = AbreSqlite(caminho, 0, true);
  if (!banco) throw ErroUso("'" + caminho + "' não é um banco de dados SQLite");
  std::vector<QString> tabelas;
  for (auto rs = banco->OpenRecordset("SELECT name FROM sqlite_master WHERE type IN ('table', 'view')");
       !rs->Eof(); rs->MoveNext())
    tabelas.push_back(QString::fromStdString(CStr(rs->Campo("name"))));
  std::vector<const char*> precisas = {"tblDeclaração"};  // the one that makes a declaration database
  for (const char* t : kTabelasDasRegras)
    if (std::string(t) != precisas[0]) precisas.push_back(t);
  for (const char* precisa : precisas) {
    bool tem = false;
    for (const QString& t : tabelas)
      tem = tem || t.compare(QString::fromUtf8(precisa), Qt::CaseInsensitive) == 0;
    if (!tem)
      throw ErroUso("'" + caminho + "' não é um banco de declarações: falta a tabela " + precisa +
                    " (o comando 'kvconsistencia exemplo' cria um banco de exemplo completo)");
  }
  if (declaracao.empty()) return;
  auto rs = banco->OpenRecordset("SELECT Declaração FROM tblDeclaração WHERE Declaração = " + declaracao);
  if (rs->Eof()) throw ErroUso("a declaração " + declaracao + " não existe em '" + caminho + "'");
} catch (const Erro&) {
}

std::string ParaShell(const std::string& s) {
  if (!s.empty() &&
      s.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-./:=,+@%") ==
          std::string::npos)
    return s;
  std::string r = "'";
  for (char c : s) r += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return r + "'";
}

namespace {

// Everything the user typed is checked before anything is opened; returns the database made absolute.
std::string ConfereOpcoes(const Opcoes& o, const std::optional<std::string>& dado) {
  if (o.Tem("--declaracao")) {
    std::string d = o.Valor("--declaracao");
    double v = 0;
    if (!ParseNumero(d, v) || d.find_first_not_of("0123456789") != std::string::npos || v < 1 ||
        v > 2147483647)
      throw ErroUso("número de declaração inválido: '" + Resumido(d) +
                    "' (use um número inteiro positivo, como 12)");
  }
  if (o.Tem("--exercicio")) {
    std::string ano = o.Valor("--exercicio");
    if (ano.size() != 4 || ano.find_first_not_of("0123456789") != std::string::npos || ano < "1990" ||
        ano > "2100")
      throw ErroUso("exercício inválido: '" + Resumido(ano) +
                    "' (use o ano com quatro dígitos, de 1990 a 2100)");
  }
  const std::string nome = dado ? *dado : o.Valor("--banco");
  if (nome.empty()) return "";
  std::string banco = Absoluto(nome);
  if (jet::EhJet(banco)) return banco;
  if (std::string motivo = MotivoNaoEhBanco(banco); !motivo.empty())
    throw ErroUso("'" + Resumido(nome) + "': " + motivo);
  return banco;
}

// The database the settings name, when --banco did not: it must be there and be a database.
std::string BancoDasConfiguracoes() {
  std::string banco = Config().Le(kApp, "DB", "DbAtual", "");
  if (banco.empty())
    throw ErroUso("falta o banco de dados: use --banco ARQUIVO ou defina " + NaConfiguracao("DB", "DbAtual"));
  if (std::string motivo = MotivoNaoEhBanco(banco); !motivo.empty())
    throw ErroUso("o banco de dados '" + Resumido(banco) + "' (" + NaConfiguracao("DB", "DbAtual") +
                  "): " + motivo);
  return banco;
}

}  // namespace

namespace {

std::string gBancoMostrado;  // the database as the user named it, when the checks read another file

// A Jet file read through the safe reader into a temporary SQLite copy, removed when the program ends.
std::string CopiaDoJet(const std::string& jet) {
  static const PastaTemporaria pasta("jet");
  const std::string copia = pasta.Arquivo("copia.db");
  try {
    if (jet::Importa(jet, copia).sinal) throw LeituraInterrompida{};
  } catch (const jet::ErroDeUso& e) {
    throw ErroUso(e.mensagem);
  }
  Escreve(stderr, "kvconsistencia: " + jet +
                      " é um arquivo Jet: verificado numa cópia temporária, somente para leitura\n");
  return copia;
}

}  // namespace

void PreparaHost(const Opcoes& o, Precisa precisa) {
  if (precisa.carteira) {
    ConfereOpcoes(o, "");
    host::RegistraComponentes(o.Tem("--somente-leitura"));
    if (o.Tem("--exercicio"))
      DefineValorDaExecucao(kApp, "Exercicio", "ExercicioAtual", o.Valor("--exercicio"));
    return;
  }
  std::string banco = ConfereOpcoes(o, precisa.banco);
  const bool jet = !banco.empty() && jet::EhJet(banco);
  if (jet && !precisa.aceitaJet)
    throw ErroUso("'" + banco +
                  "' é um arquivo Jet, que nunca é gravado; importe-o antes: kvconsistencia importar " +
                  ParaShell(banco) + " DESTINO.db");
  // A Jet file is only read: the copy is opened read-only, so a write is reported, never made.
  host::RegistraComponentes(o.Tem("--somente-leitura") || jet);
  if (jet) {
    gBancoMostrado = banco;
    banco = CopiaDoJet(banco);
  }
  // The options hold for this run only: KV.ini is the host's, and another run may be using it.
  if (!banco.empty()) DefineValorDaExecucao(kApp, "DB", "DbAtual", banco);
  if (o.Tem("--exercicio"))
    DefineValorDaExecucao(kApp, "Exercicio", "ExercicioAtual", o.Valor("--exercicio"));
  if (banco.empty()) banco = BancoDasConfiguracoes();
  if (precisa.exercicio && Config().Le(kApp, "Exercicio", "ExercicioAtual", "").empty())
    throw ErroUso("falta o exercício: use --exercicio AAAA ou defina " +
                  NaConfiguracao("Exercicio", "ExercicioAtual"));
  ConfereBancoDeDeclaracoes(banco, precisa.declaracao ? o.Valor("--declaracao") : "");
}

std::string ExercicioAtualTexto() {
  return Config().Le(kApp, "Exercicio", "ExercicioAtual", "");
}

Verificacao Verifica(ControleConsistencia& controle, const std::string& declaracao, bool explica) {
  controle.DefineDeclaracao(Variant::Str(declaracao));
  Verificacao v;
  static_cast<ResultadoVerificacao&>(v) = controle.Verifica(explica);
  v.declaracao = declaracao;
  v.exercicio = ExercicioAtualTexto();
  v.banco = gBancoMostrado.empty() ? Config().Le(kApp, "DB", "DbAtual", "") : gBancoMostrado;
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

std::string JsonErro(const ErroVerificacao& e) {
  return "{\"numero\": " + std::to_string(e.numero) + ", \"descricao\": " + JsonTexto(e.descricao) + "}";
}

namespace {}  // namespace

std::string JsonEvidencias(const Verificacao& v) {
  std::string r;
  for (const GrupoResultado& g : v.arvore)
    for (const ItemResultado& item : g.itens)
      if (const std::string e = JsonEvidencia(item); !e.empty())
        r += (r.empty() ? "" : ", ") + std::string("{\"chave\": ") + JsonTexto(item.chave) + e + "}";
  return ", \"evidencias\": [" + r + "]";
}

std::string JsonEvidencia(const ItemResultado& n) {
  if (n.evidencia.empty() && n.resumo.empty()) return "";
  std::string r = ", \"evidencia\": [";
  for (size_t i = 0; i < n.evidencia.size(); ++i)
    r += (i ? ", " : "") + std::string("{\"rotulo\": ") + JsonTexto(n.evidencia[i].rotulo) +
         ", \"valor\": " + JsonTexto(n.evidencia[i].valor) + "}";
  return r + "], \"resumo\": " + JsonTexto(n.resumo);
}

namespace {

std::string JsonNo(const std::string& chave, const std::string& texto, int imagem) {
  return "{\"chave\": " + JsonTexto(chave) + ", \"texto\": " + JsonTexto(texto) +
         ", \"imagem\": " + std::to_string(imagem);
}

std::string JsonItem(const ItemResultado& n) {
  std::string r = JsonNo(n.chave, n.texto, n.imagem) + ", \"mensagem\": " + JsonTexto(n.mensagem);
  if (n.erroMensagem) r += ", \"erroMensagem\": " + JsonErro(*n.erroMensagem);
  return r + JsonEvidencia(n) + "}";
}

std::string JsonGrupo(const GrupoResultado& g) {
  std::string r = JsonNo(g.chave, g.texto, g.imagem) + ", \"filhos\": [";
  for (size_t i = 0; i < g.itens.size(); ++i) r += (i ? ", " : "") + JsonItem(g.itens[i]);
  return r + "]}";
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
    for (size_t i = 0; i < v.arvore.size(); ++i) r += (i ? ", " : "") + JsonGrupo(v.arvore[i]);
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
  for (const GrupoResultado& cab : v.arvore) {
    r += "\n" + std::string(Marca(cab.imagem)) + " " + cab.texto + "\n";
    for (const ItemResultado& f : cab.itens) {
      r += "  " + std::string(Marca(f.imagem)) + " " + NaLinha(f.texto) + "  [" + NaLinha(f.chave) + "]" +
           (f.imagem == 3 ? " (aceita)" : "") + "\n";
      if (!f.mensagem.empty()) r += Recuado(f.mensagem, "      ") + "\n";
      if (!f.resumo.empty()) r += "      Valores: " + NaLinha(f.resumo) + "\n";
      if (f.imagem == kImagemAberta && f.podeSerAceita)
        r += "      Para aceitar como exceção: kvconsistencia consistir --banco " + ParaShell(v.banco) +
             " --declaracao " + v.declaracao + " --exercicio " + ParaShell(v.exercicio) + " --aceitar " +
             NaLinha(ParaShell(f.chave)) + "\n";
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

ResultadoVerificacao ArvoreDasEntradas(bool explica) {
  ControleConsistencia controle;
  controle.MostraEntradas(kImagemAberta);
  return controle.Resultado(explica);
}  // the control's end empties the store, as it does for any control

}  // namespace kv::cli
