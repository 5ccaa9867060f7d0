#include "cli/verificacao.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "cli/saida.h"
#include "host/host.h"
#include "jet/importacao.h"
#include "jet/leitor.h"
#include "platform/arquivo.h"
#include "platform/configuracao.h"
#include "platform/db/esquema.h"
#include "platform/db/sqlite_banco.h"
#include "platform/erro.h"
#include "platform/temporaria.h"
#include "platform/texto.h"

namespace kv::cli {

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

// The settings key that would supply a value, for messages.
std::string NaConfiguracao(const char* secao, const char* chave) {
  return std::string(chave) + " na seção [" + secao + "] de " + ArquivoConfiguracao(kApp);
}

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

std::string gBancoMostrado;  // the database as the user named it, when the checks read another file

// A Jet file read through the safe reader into a temporary SQLite copy, removed when the program ends.
std::string CopiaDoJet(const std::string& jet) {
  static const PastaTemporaria pasta("jet");
  const std::string copia = pasta.Arquivo("copia.db");
  if (jet::Importa(jet, copia).interrompida) throw LeituraInterrompida{};
  Escreve(stderr, "kvconsistencia: " + jet +
                      " é um arquivo Jet: verificado numa cópia temporária, somente para leitura\n");
  return copia;
}

// Whether the file, and its folder (where SQLite writes its journal), can be written.
bool Gravavel(const std::string& banco) {
  return ::access(banco.c_str(), W_OK) == 0 &&
         ::access(std::filesystem::path(banco).parent_path().c_str(), W_OK) == 0;
}

// A command that records, or a check before 2001 (which writes the enrolment answer), on a database that
// cannot be written: said before the check, with what to do, instead of a database error after it.
void ConfereGravavel(const Opcoes& o, const Precisa& p, const std::string& banco) {
  if (banco.empty() || o.Tem("--somente-leitura") || Gravavel(banco)) return;
  const std::string nome =
      "'" + Resumido(banco) + "' não pode ser gravado (sem permissão de escrita nele ou na sua pasta)";
  if (p.grava)
    throw ErroUso(nome + ": o resultado não seria gravado; use uma cópia gravável (cp " + ParaShell(banco) +
                  " COPIA.db) com --banco COPIA.db");
  const std::string ano = ExercicioAtualTexto();
  if (ano.size() == 4 && ano < "2001")
    throw ErroUso(nome +
                  ": antes de 2001 a verificação grava a resposta ao enquadramento; use "
                  "--somente-leitura para verificar sem gravar, ou uma cópia gravável");
}

// What the command needs and was not given, all in one line: one missing thing says what to use; more
// are listed together.
void ConfereFaltas(const Opcoes& o, const Precisa& p) {
  std::vector<std::string> faltas, sos;  // in a list of several; alone
  auto falta = [&](const std::string& naLista, const std::string& so) {
    faltas.push_back(naLista);
    sos.push_back(so);
  };
  if (p.declaracao && !o.Tem("--declaracao"))
    falta("a opção --declaracao N", "a opção --declaracao é obrigatória");
  const std::string db = NaConfiguracao("DB", "DbAtual"), ano = NaConfiguracao("Exercicio", "ExercicioAtual");
  if (!p.carteira && !p.banco && !o.Tem("--banco") && Config().Le(kApp, "DB", "DbAtual", "").empty())
    falta("o banco de dados (--banco ARQUIVO, ou " + db + ")",
          "falta o banco de dados: use --banco ARQUIVO ou defina " + db);
  if (p.exercicioNaOpcao && !o.Tem("--exercicio"))
    falta("a opção --exercicio AAAA", "a opção --exercicio é obrigatória");
  else if (p.exercicio && !o.Tem("--exercicio") && ExercicioAtualTexto().empty())
    falta("o exercício (--exercicio AAAA, ou " + ano + ")",
          "falta o exercício: use --exercicio AAAA ou defina " + ano);
  if (faltas.size() == 1) throw ErroUso(sos[0]);
  if (faltas.empty()) return;
  std::string lista;
  for (size_t i = 0; i < faltas.size(); ++i)
    lista += (i ? (i + 1 == faltas.size() ? " e " : ", ") : "") + faltas[i];
  throw ErroUso("faltam " + lista);
}

}  // namespace

void PreparaHost(const Opcoes& o, Precisa precisa) {
  ConfereFaltas(o, precisa);
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
    throw ErroUso("'" + banco + "' é um arquivo Jet, que nunca é gravado; importe-o e use a cópia: " +
                  ComandoDeImportar(banco, DestinoDaCopia(banco)));
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
  ConfereGravavel(o, precisa, jet ? "" : banco);
  try {
    ConfereBancoDeDeclaracoes(banco, precisa.declaracao ? o.Valor("--declaracao") : "");
  } catch (const ErroDeUso& e) {
    // Named as the user knows the file, never by its copy.
    std::string motivo = e.what();
    if (const size_t p = motivo.find(banco); jet && p != std::string::npos)
      motivo.replace(p, banco.size(), gBancoMostrado);
    throw ErroUso(motivo);
  }
}

std::string DestinoDaCopia(const std::string& jet) {
  namespace fs = std::filesystem;
  const fs::path origem(jet);
  fs::path pasta = origem.parent_path();
  if (::access(pasta.empty() ? "." : pasta.c_str(), W_OK | X_OK) != 0) pasta = fs::current_path();
  for (int n = 1;; ++n) {
    const fs::path destino =
        pasta / (origem.stem().string() + (n == 1 ? "" : "-" + std::to_string(n)) + ".db");
    std::error_code erro;
    if (!fs::exists(fs::symlink_status(destino, erro))) return destino.string();
  }
}

std::string ComandoDeImportar(const std::string& jet, const std::string& destino) {
  return "kvconsistencia importar " + ParaShell(jet) + " " + ParaShell(destino);
}

std::string ExercicioAtualTexto() {
  return Config().Le(kApp, "Exercicio", "ExercicioAtual", "");
}

ResultadoVerificacao Verifica(ControleConsistencia& controle, const std::string& declaracao, bool explica) {
  controle.DefineDeclaracao(Variant::Str(declaracao));
  ResultadoVerificacao v = controle.Verifica(explica);
  v.declaracao = declaracao;
  if (!gBancoMostrado.empty()) v.banco = gBancoMostrado;
  return v;
}

int SaidaDe(const ResultadoVerificacao& v) {
  return v.erro ? 3 : (v.consistente ? 0 : 1);
}

namespace {

// The command that records the declaration with `avisos` accepted, after the import a Jet file needs.
std::string ComandoDeConsistir(const ResultadoVerificacao& v, const std::string& titulo,
                               const std::vector<std::string>& avisos) {
  std::string r, banco = v.banco;
  if (jet::EhJet(v.banco)) {
    banco = DestinoDaCopia(v.banco);
    r += "Um arquivo Jet nunca é gravado: importe-o e consista a cópia:\n  " +
         ComandoDeImportar(v.banco, banco) + "\n";
  }
  r += titulo + "\n  kvconsistencia consistir --banco " + ParaShell(banco) + " --declaracao " + v.declaracao +
       " --exercicio " + ParaShell(v.exercicio);
  for (const std::string& a : avisos) r += " --aceitar " + TextoVisivel(ParaShell(a));
  return r + "\n";
}

}  // namespace

std::string DicaDeAceite(const ResultadoVerificacao& v) {
  std::vector<std::string> avisos, erros;
  bool aberto = false;
  for (const GrupoResultado& g : v.arvore)
    for (const ItemResultado& f : g.itens) {
      aberto = aberto || f.imagem == kImagemAberta;
      (f.podeSerAceita ? avisos : erros).push_back(f.chave);
    }
  if (v.erro) return "";
  // Consistent, but the key recorded no longer seals the data (or is missing): the final check makes it
  // again.
  if (!aberto)
    return v.consistente && !v.aviso.empty()
               ? "\n" + ComandoDeConsistir(v, "Para gravar a chave de novo:", {})
               : "";
  std::string r = "\n";
  if (!erros.empty()) {
    std::string lista;
    for (const std::string& e : erros) lista += (lista.empty() ? "" : ", ") + TextoVisivel(e);
    r += "Corrija no programa de origem (erros não podem ser aceitos): " + lista + "\n";
  }
  if (avisos.empty()) return r;
  return r + ComandoDeConsistir(v,
                                erros.empty()
                                    ? "Para aceitar os avisos como exceção e gravar a chave:"
                                    : "Depois, para aceitar os avisos como exceção e gravar a chave:",
                                avisos);
}

ResultadoVerificacao ArvoreDasEntradas(bool explica) {
  ControleConsistencia controle;
  controle.MostraEntradas(kImagemAberta);
  return controle.Resultado(explica);
}  // the control's end empties the store, as it does for any control

void ConferePasta(const std::string& caminho, const std::string& deQue) {
  const std::string pasta = std::filesystem::path(Absoluto(caminho)).parent_path().string();
  struct stat st {};
  if (::stat(pasta.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    throw ErroUso("a pasta " + deQue + " não existe: " + TextoVisivel(pasta));
  if (::access(pasta.c_str(), W_OK | X_OK) != 0)
    throw ErroUso("a pasta " + deQue + " não pode ser gravada: " + TextoVisivel(pasta) + "; escolha outra");
}

void VerificaSaida(const std::string& saida) {
  ConferePasta(saida, "do arquivo de saída '" + saida + "'");
  struct stat st {};
  if (::stat(saida.c_str(), &st) != 0) return;  // a new file: nothing it could replace
  if (S_ISDIR(st.st_mode))
    throw ErroUso("o arquivo de saída '" + saida + "' é uma pasta; dê o nome do relatório a gravar");
  if (jet::EhJet(saida))
    throw ErroUso("o arquivo de saída '" + saida + "' é um arquivo Jet; escolha outro nome");
  if (MesmoArquivo(saida, Config().Le(kApp, "DB", "DbAtual", "")))
    throw ErroUso("o arquivo de saída '" + saida + "' é o banco de dados verificado; escolha outro nome");
  if (EhBancoSqlite(saida))
    throw ErroUso("o arquivo de saída '" + saida + "' é um banco de dados SQLite; escolha outro nome");
}

}  // namespace kv::cli
