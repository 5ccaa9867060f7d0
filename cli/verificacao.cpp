#include "cli/verificacao.h"

#include <sys/stat.h>

#include <filesystem>

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
  if (jet::Importa(jet, copia).interrompida) throw LeituraInterrompida{};
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

std::string DicaDeAceite(const ResultadoVerificacao& v, const ItemResultado& f) {
  return "      Para aceitar como exceção: kvconsistencia consistir --banco " + ParaShell(v.banco) +
         " --declaracao " + v.declaracao + " --exercicio " + ParaShell(v.exercicio) + " --aceitar " +
         TextoVisivel(ParaShell(f.chave)) + "\n";
}

ResultadoVerificacao ArvoreDasEntradas(bool explica) {
  ControleConsistencia controle;
  controle.MostraEntradas(kImagemAberta);
  return controle.Resultado(explica);
}  // the control's end empties the store, as it does for any control

void VerificaSaida(const std::string& saida) {
  const std::string pasta = std::filesystem::path(Absoluto(saida)).parent_path().string();
  struct stat st {};
  if (::stat(pasta.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    throw ErroUso("a pasta do arquivo de saída '" + saida + "' não existe: " + pasta);
  std::string banco = Config().Le(kApp, "DB", "DbAtual", "");
  if (MesmoArquivo(saida, banco))
    throw ErroUso("o arquivo de saída '" + saida + "' é o banco de dados verificado; escolha outro nome");
  if (EhBancoSqlite(saida))
    throw ErroUso("o arquivo de saída '" + saida + "' é um banco de dados SQLite; escolha outro nome");
}

}  // namespace kv::cli
