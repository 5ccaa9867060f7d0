// The reference schema, as the declaration database's tables are declared.
#include "platform/db/esquema.h"

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

}  // namespace kv
