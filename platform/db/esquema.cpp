// The reference schema, as the declaration database's tables are declared.
#include "platform/db/esquema.h"

#include <QString>
#include <algorithm>
#include <optional>

#include "platform/db/sqlite_banco.h"
#include "platform/erro.h"

namespace kv {

void CriaEsquema(Database& b) {
  const char* const ddl[] = {
      "CREATE TABLE tblContribuinte (IE TEXT PRIMARY KEY, CNPJ TEXT, CNAE TEXT)",
      "CREATE TABLE tblDeclaração (Declaração INTEGER PRIMARY KEY, IE TEXT, Consistente BOOLEAN, DeAcordo "
      "INTEGER, "
      "Chave TEXT)",
      "CREATE TABLE tblEntradas (Declaração INTEGER, Ref INTEGER, EntradaInter CURRENCY, ImpAquisição "
      "CURRENCY, "
      "EntradaInterna CURRENCY)",
      "CREATE TABLE tblSaídas (Declaração INTEGER, Ref INTEGER, SaídaInterna CURRENCY, SaídaInter CURRENCY, "
      "ImpDevido CURRENCY, SaídaInternaNtrib CURRENCY, SaídaInterNtrib CURRENCY)",
      "CREATE TABLE tblDetalhesInterUFs (Declaração INTEGER, Ref INTEGER, Tipo INTEGER, UF TEXT, "
      "ValorContábil_1 "
      "CURRENCY, BaseCálculo_1 CURRENCY, Outras CURRENCY, Imposto CURRENCY, PetróleoEnergia CURRENCY, "
      "OutrosProdutos CURRENCY, ValorContábil_2 CURRENCY, BaseCálculo_2 CURRENCY, ICMSCobradoST CURRENCY)",
      "CREATE TABLE tblEstados (Código TEXT COLLATE NOCASE PRIMARY KEY, Estado TEXT)",
      "CREATE TABLE tblTOVIR (Declaração INTEGER, CódTOVIR TEXT, Município TEXT COLLATE NOCASE, Código "
      "INTEGER, "
      "Valor CURRENCY)",
  };
  for (const char* s : ddl) b.Executa(s, {});
  for (const IndiceDoEsquema& i : kIndicesDoEsquema) b.Executa(i.sql, {});
  const char* const estados[][2] = {
      {"SP", "São Paulo"},      {"RJ", "Rio de Janeiro"}, {"MG", "Minas Gerais"},
      {"BA", "Bahia"},          {"PR", "Paraná"},         {"RS", "Rio Grande do Sul"},
      {"SC", "Santa Catarina"}, {"GO", "Goiás"},          {"PE", "Pernambuco"},
      {"CE", "Ceará"},          {"ES", "Espírito Santo"}, {"MT", "Mato Grosso"}};
  for (auto& e : estados)
    b.Executa("INSERT INTO tblEstados (Código, Estado) VALUES (?, ?)",
              {Variant::Str(e[0]), Variant::Str(e[1])});
}

namespace {

// The database's tables and whether it has the declaration; none when it cannot be read now.
struct Conteudo {
  std::vector<QString> tabelas;
  bool temDeclaracao = true;
};
bool TemTabela(const std::vector<QString>& tabelas, const char* nome) {
  return std::any_of(tabelas.begin(), tabelas.end(), [nome](const QString& t) {
    return t.compare(QString::fromUtf8(nome), Qt::CaseInsensitive) == 0;
  });
}

std::optional<Conteudo> LeConteudo(const std::string& caminho, const std::string& declaracao) {
  try {
    // No wait: a database busy now is the check's to wait for, once (the wait the documentation gives).
    auto banco = AbreSqlite(caminho, 0, true);
    if (!banco) throw ErroDeUso("'" + caminho + "' não é um banco de dados SQLite");
    Conteudo c;
    for (auto rs = banco->OpenRecordset("SELECT name FROM sqlite_master WHERE type IN ('table', 'view')");
         !rs->Eof(); rs->MoveNext())
      c.tabelas.push_back(QString::fromStdString(CStr(rs->Campo("name"))));
    // Without the table the check below names it; a query of it would only fail.
    const bool temTabela = TemTabela(c.tabelas, "tblDeclaração");
    if (temTabela && !declaracao.empty())
      c.temDeclaracao =
          !banco->OpenRecordset("SELECT Declaração FROM tblDeclaração WHERE Declaração = " + declaracao)
               ->Eof();
    return c;
  } catch (const Erro&) {
    return std::nullopt;
  }
}

}  // namespace

void ConfereBancoDeDeclaracoes(const std::string& caminho, const std::string& declaracao) {
  const std::optional<Conteudo> c = LeConteudo(caminho, declaracao);
  if (!c) return;
  std::vector<const char*> precisas = {"tblDeclaração"};  // the one that makes a declaration database
  for (const char* t : kTabelasDasRegras)
    if (std::string(t) != precisas[0]) precisas.push_back(t);
  for (const char* precisa : precisas) {
    if (!TemTabela(c->tabelas, precisa))
      throw ErroDeUso("'" + caminho + "' não é um banco de declarações: falta a tabela " + precisa +
                      " (o comando 'kvconsistencia exemplo' cria um banco de exemplo completo)");
  }
  if (!c->temDeclaracao) throw ErroDeUso("a declaração " + declaracao + " não existe em '" + caminho + "'");
}

std::vector<std::string> DeclaracoesDoBanco(const std::string& caminho) {
  auto banco = AbreSqlite(caminho, 5000, true);
  if (!banco) throw ErroDeUso("o banco de dados '" + caminho + "' não pôde ser aberto");
  std::vector<std::string> r;
  auto rs = banco->OpenRecordset("SELECT Declaração FROM tblDeclaração ORDER BY Declaração");
  for (; !rs->Eof(); rs->MoveNext()) r.push_back(CStr(rs->Campo("Declaração")));
  return r;
}

}  // namespace kv
