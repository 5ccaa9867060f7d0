#include "apoio.h"

#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "host/exemplo.h"
#include "platform/configuracao.h"
#include "platform/db/sqlite_banco.h"
#include "platform/texto.h"
#include "rules/frame/estado.h"
#include "rules/frame/inconsistencias.h"

namespace kv::teste {

BancoTeste::BancoTeste(int exercicio) {
  caminho_ = pasta_.filePath("decl.db").toStdString();
  db_ = CriaSqlite(caminho_);
  // The tests' own inserts need no durability: row-by-row commits would each wait for the disk.
  db_->Executa("PRAGMA synchronous = OFF", {});
  db_->Executa("PRAGMA journal_mode = MEMORY", {});
  CriaEsquema(*db_);
  ReiniciaEstado();
  Config().Grava("KV", "DB", "DbAtual", caminho_);
  Config().Grava("KV", "Exercicio", "ExercicioAtual", std::to_string(exercicio));
}

void BancoTeste::Sql(const std::string& sql, const std::vector<Variant>& p) {
  db_->Executa(sql, p);
}

namespace {

// Each row kind: its table, then its columns in order, written name[:kind][=default | !fixed | @], where
// kind is l (whole number), t (text) or m (amount, when none is given) and @ takes the declaration.
const std::pair<const char*, const char*> kFormas[] = {
    {"D", "tblDeclaração Declaração:l@ DeAcordo:l=1 IE:t=1 Consistente:l=0"},
    {"C", "tblContribuinte IE:t CNPJ:t CNAE:t"},
    {"E", "tblEntradas Declaração:l@ Ref:l EntradaInter=0 ImpAquisição=0 EntradaInterna=0"},
    {"S",
     "tblSaídas Declaração:l@ Ref:l SaídaInterna=0 SaídaInter=0 ImpDevido=0 SaídaInternaNtrib=0 "
     "SaídaInterNtrib=0"},
    {"UE",
     "tblDetalhesInterUFs Declaração:l@ Tipo:l!0 Ref:l UF:t ValorContábil_1=0 BaseCálculo_1=0 Outras=0 "
     "PetróleoEnergia=0 OutrosProdutos=0 Imposto=0"},
    {"US",
     "tblDetalhesInterUFs Declaração:l@ Tipo:l!1 Ref:l UF:t ValorContábil_1=0 ValorContábil_2=0 "
     "BaseCálculo_1=0 BaseCálculo_2=0 Outras=0 ICMSCobradoST=0 Imposto=0"},
    {"T", "tblTOVIR Declaração:l@ CódTOVIR:t Município:t Código:l=1 Valor=0"},
};

std::vector<std::string> Palavras(const std::string& linha) {
  std::vector<std::string> r;
  for (size_t i = 0; i < linha.size();) {
    if (linha[i] == '\'' && linha.find('\'', i + 1) == std::string::npos)
      throw std::invalid_argument("linha de teste com aspas abertas: " + linha);
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
  return Variant::Cur(CurrencyDeDouble(std::stod(v)));
}

}  // namespace

void BancoTeste::Linhas(const std::string& linhas) {
  for (const std::string& linha : Divide(linhas, ";")) {
    const std::vector<std::string> p = Palavras(linha);
    if (p.empty()) continue;
    const size_t arroba = p[0].find('@');
    const auto* f = std::find_if(std::begin(kFormas), std::end(kFormas),
                                 [&](const auto& k) { return p[0].substr(0, arroba) == k.first; });
    if (f == std::end(kFormas)) throw std::invalid_argument("linha de teste: " + linha);
    const std::vector<std::string> colunas = Palavras(f->second);
    std::string nomes, marcas;
    std::vector<Variant> valores;
    size_t proximo = 1;
    for (size_t i = 1; i < colunas.size(); ++i) {
      const std::string& c = colunas[i];
      const size_t fim = c.find_first_of(":=!@"), marca = c.find_first_of("=!@");
      std::string v;
      if (marca != std::string::npos && c[marca] == '@')
        v = arroba == std::string::npos ? "12" : p[0].substr(arroba + 1);
      else if (marca != std::string::npos && c[marca] == '!')
        v = c.substr(marca + 1);
      else if (proximo < p.size())
        v = p[proximo++];
      else if (marca != std::string::npos)
        v = c.substr(marca + 1);
      else
        throw std::invalid_argument("linha de teste sem " + c.substr(0, fim) + ": " + linha);
      nomes += (nomes.empty() ? "\"" : ", \"") + c.substr(0, fim) + "\"";
      marcas += marcas.empty() ? "?" : ", ?";
      valores.push_back(Valor(v, fim != std::string::npos && c[fim] == ':' ? c[fim + 1] : 'm'));
    }
    if (proximo < p.size()) throw std::invalid_argument("linha de teste com valores demais: " + linha);
    Sql("INSERT INTO " + colunas[0] + " (" + nomes + ") VALUES (" + marcas + ")", valores);
  }
}

std::pair<Variant, Variant> BancoTeste::Gravado(int d) {
  auto rs = db_->OpenRecordset("SELECT Consistente, Chave FROM tblDeclaração WHERE Declaração = " +
                               std::to_string(d));
  return {rs->Campo("Consistente"), rs->Campo("Chave")};
}

::testing::AssertionResult Contem(const QByteArray& texto, const QString& trecho) {
  if (texto.contains(trecho.toUtf8())) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "'" << trecho.toStdString() << "' não está em:\n"
                                       << texto.toStdString();
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

RespondeCaixas::RespondeCaixas() {
  QObject::connect(&relogio, &QTimer::timeout, [] {
    if (auto* caixa = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
      caixa->button(QMessageBox::Ok)->click();
  });
  relogio.start(20);
}

ComoOutroUsuario::ComoOutroUsuario() : root(::geteuid() == 0) {
  if (root) ::syscall(SYS_setresuid, 65534, 65534, 0);
}

ComoOutroUsuario::~ComoOutroUsuario() {
  if (root) ::syscall(SYS_setresuid, 0, 0, 0);
}

void Tecla(QWidget* w, int tecla, Qt::KeyboardModifiers m) {
  QTest::keyClick(w, static_cast<Qt::Key>(tecla), m);
  QTest::qWait(30);
}

std::set<std::string> Retrato(const std::string& pasta) {
  namespace fs = std::filesystem;
  std::set<std::string> r;
  std::error_code e;
  for (auto it = fs::recursive_directory_iterator(pasta, fs::directory_options::skip_permission_denied, e);
       it != fs::recursive_directory_iterator(); it.increment(e)) {
    struct stat st {};
    ::lstat(it->path().c_str(), &st);
    std::string linha = it->path().string();
    if (!S_ISDIR(st.st_mode))  // a folder's time changes with what a run writes and removes elsewhere in it
      linha += " " + std::to_string(st.st_size) + " " + std::to_string(st.st_mtim.tv_sec) + "." +
               std::to_string(st.st_mtim.tv_nsec);
    r.insert(linha);
  }
  return r;
}

Execucao Roda(const QString& pasta, const QStringList& args, const QMap<QString, QString>& extra,
              const QString& programa, std::function<void()> antes) {
  QProcess p;
  QProcessEnvironment env = Ambiente(pasta);
  for (auto it = extra.begin(); it != extra.end(); ++it) env.insert(it.key(), it.value());
  p.setProcessEnvironment(env);
  p.setWorkingDirectory(pasta);
  if (antes) p.setChildProcessModifier(antes);
  p.start(programa, args);
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
