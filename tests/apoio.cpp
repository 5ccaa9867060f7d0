#include "apoio.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <stdexcept>

#include "control/inconsistencias.h"
#include "host/exemplo.h"
#include "platform/configuracao.h"
#include "platform/db/sqlite_banco.h"
#include "platform/texto.h"
#include "rules/frame/estado.h"

namespace kv::teste {

Variant Cur(double v) {
  return Variant::Cur(CurrencyDeDouble(v));
}

BancoTeste::BancoTeste(int exercicio) {
  caminho_ = pasta_.filePath("decl.db").toStdString();
  db_ = CriaSqlite(caminho_);
  // The tests' own inserts need no durability: row-by-row commits would each wait for the disk.
  db_->Executa("PRAGMA synchronous = OFF", {});
  db_->Executa("PRAGMA journal_mode = MEMORY", {});
  host::CriaEsquema(*db_);
  ReiniciaEstado();
  Config().Grava("KV", "DB", "DbAtual", caminho_);
  Config().Grava("KV", "Exercicio", "ExercicioAtual", std::to_string(exercicio));
}

void BancoTeste::Sql(const std::string& sql, const std::vector<Variant>& p) {
  db_->Executa(sql, p);
}

namespace {

// A row kind: its table, the columns that follow the letter, each column's kind (l whole number, t text,
// m amount), the values of columns left out at the end, and a column every row of the kind has.
struct Forma {
  const char *letra, *tabela;
  std::vector<const char*> colunas;
  const char *tipos, *padrao, *fixo;
};

const Forma kFormas[] = {
    {"D", "tblDeclaração", {"DeAcordo", "IE", "Consistente"}, "ltl", "1 1 0", ""},
    {"C", "tblContribuinte", {"IE", "CNPJ", "CNAE"}, "ttt", "- - -", ""},
    {"E", "tblEntradas", {"Ref", "EntradaInter", "ImpAquisição", "EntradaInterna"}, "lmmm", "- 0 0 0", ""},
    {"S",
     "tblSaídas",
     {"Ref", "SaídaInterna", "SaídaInter", "ImpDevido", "SaídaInternaNtrib", "SaídaInterNtrib"},
     "lmmmmm",
     "- 0 0 0 0 0",
     ""},
    {"UE",
     "tblDetalhesInterUFs",
     {"Ref", "UF", "ValorContábil_1", "BaseCálculo_1", "Outras", "PetróleoEnergia", "OutrosProdutos",
      "Imposto"},
     "ltmmmmmm",
     "- - 0 0 0 0 0 0",
     "Tipo"},
    {"US",
     "tblDetalhesInterUFs",
     {"Ref", "UF", "ValorContábil_1", "ValorContábil_2", "BaseCálculo_1", "BaseCálculo_2", "Outras",
      "ICMSCobradoST", "Imposto"},
     "ltmmmmmmm",
     "- - 0 0 0 0 0 0 0",
     "Tipo"},
    {"T", "tblTOVIR", {"CódTOVIR", "Município", "Código", "Valor"}, "ttlm", "- - 1 0", ""},
};

std::vector<std::string> Palavras(const std::string& linha) {
  std::vector<std::string> r;
  for (size_t i = 0; i < linha.size();) {
    size_t fim = linha[i] == '\'' ? linha.find('\'', i + 1) + 1 : std::min(linha.find(' ', i), linha.size());
    if (fim > i && linha[i] != ' ') r.push_back(linha.substr(i, fim - i));  // quotes kept: always a text
    i = std::max(fim, i + 1);
  }
  return r;
}

Variant Valor(const std::string& v, char tipo) {
  if (v.front() == '\'') return Variant::Str(v.substr(1, v.size() - 2));
  if (v == "N") return Variant::Nulo();
  if (tipo == 't') return Variant::Str(v);
  if (tipo == 'l') return Variant::Long(std::stoi(v));
  return Cur(std::stod(v));
}

}  // namespace

void BancoTeste::Linhas(const std::string& linhas) {
  for (const std::string& linha : Divide(linhas, ";")) {
    std::vector<std::string> p = Palavras(linha);
    if (p.empty()) continue;
    const size_t arroba = p[0].find('@');
    const std::string letra = p[0].substr(0, arroba);
    const Forma* f = nullptr;
    for (const Forma& k : kFormas)
      if (letra == k.letra) f = &k;
    if (!f || p.size() - 1 > f->colunas.size()) throw std::invalid_argument("linha de teste: " + linha);
    std::string colunas, marcas;
    std::vector<Variant> valores;
    auto coluna = [&](const std::string& nome, Variant v) {
      colunas += (colunas.empty() ? "\"" : ", \"") + nome + "\"";
      marcas += marcas.empty() ? "?" : ", ?";
      valores.push_back(std::move(v));
    };
    if (letra != "C")
      coluna("Declaração",
             Variant::Long(arroba == std::string::npos ? 12 : std::stoi(p[0].substr(arroba + 1))));
    const std::vector<std::string> padrao = Palavras(f->padrao);
    for (size_t i = 0; i < f->colunas.size(); ++i) {
      const std::string& v = i + 1 < p.size() ? p[i + 1] : padrao.at(i);
      if (v == "-")
        throw std::invalid_argument("linha de teste sem " + std::string(f->colunas[i]) + ": " + linha);
      coluna(f->colunas[i], Valor(v, f->tipos[i]));
    }
    if (*f->fixo) coluna(f->fixo, Variant::Long(letra == "US"));
    Sql("INSERT INTO " + std::string(f->tabela) + " (" + colunas + ") VALUES (" + marcas + ")", valores);
  }
}

std::pair<Variant, Variant> BancoTeste::Gravado(int d) {
  auto rs = db_->OpenRecordset("SELECT Consistente, Chave FROM tblDeclaração WHERE Declaração = " +
                               std::to_string(d));
  return {rs->Campo("Consistente"), rs->Campo("Chave")};
}

QByteArray LeArquivo(const QString& caminho) {
  QFile f(caminho);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void GravaArquivo(const QString& caminho, const QByteArray& texto) {
  QDir().mkpath(QFileInfo(caminho).absolutePath());
  QFile f(caminho);
  if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(texto);
}

QProcessEnvironment Ambiente(const QString& pasta) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("XDG_CONFIG_HOME", pasta + "/config");
  env.insert("XDG_CACHE_HOME", pasta + "/cache");
  env.insert("LANG", "C.UTF-8");
  return env;
}

Execucao Roda(const QString& pasta, const QStringList& args, const QMap<QString, QString>& extra) {
  QProcess p;
  QProcessEnvironment env = Ambiente(pasta);
  for (auto it = extra.begin(); it != extra.end(); ++it) env.insert(it.key(), it.value());
  p.setProcessEnvironment(env);
  p.setWorkingDirectory(pasta);
  p.start(KV_PROGRAMA, args);
  p.waitForFinished(120000);
  return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError(),
          p.exitStatus() == QProcess::CrashExit};
}

void DefineDeclaracao(int d) {
  Estado().declaracao = Variant::Long(d);
}

std::vector<std::string> Entradas() {
  std::vector<std::string> r;
  const ColecaoInconsistencias& c = ObtemInconsistencias();
  for (long i = 1; i <= c.Count(); ++i) {
    const ItemInconsistencia& item = c.Item(i);
    std::string s = item.empty() ? "" : item[0];
    for (size_t k = 1; k < item.size(); ++k) s += " # " + item[k];
    r.push_back(s);
  }
  return r;
}

}  // namespace kv::teste
