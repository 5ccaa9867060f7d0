#include "apoio.h"

#include "control/inconsistencias.h"
#include "host/exemplo.h"
#include "platform/configuracao.h"
#include "platform/db/sqlite_banco.h"
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

void BancoTeste::Declaracao(int d, Variant deAcordo, const std::string& ie) {
  Sql("INSERT INTO tblDeclaração (Declaração, IE, Consistente, DeAcordo) VALUES (?, ?, 0, ?)",
      {Variant::Long(d), Variant::Str(ie), deAcordo});
}

void BancoTeste::Contribuinte(const std::string& ie, Variant cnpj, Variant cnae) {
  Sql("INSERT INTO tblContribuinte (IE, CNPJ, CNAE) VALUES (?, ?, ?)", {Variant::Str(ie), cnpj, cnae});
}

void BancoTeste::Entrada(int d, Variant ref, Variant inter, Variant imposto, Variant interna) {
  Sql("INSERT INTO tblEntradas (Declaração, Ref, EntradaInter, ImpAquisição, EntradaInterna) VALUES "
      "(?,?,?,?,?)",
      {Variant::Long(d), ref, inter, imposto, interna});
}

void BancoTeste::Saida(int d, Variant ref, Variant interna, Variant inter, Variant imposto,
                       Variant internaNtrib, Variant interNtrib) {
  Sql("INSERT INTO tblSaídas (Declaração, Ref, SaídaInterna, SaídaInter, ImpDevido, SaídaInternaNtrib, "
      "SaídaInterNtrib) VALUES (?,?,?,?,?,?,?)",
      {Variant::Long(d), ref, interna, inter, imposto, internaNtrib, interNtrib});
}

void BancoTeste::DetalheEntrada(int d, int ref, const std::string& uf, Variant vc1, Variant bc1,
                                Variant outras, Variant pe, Variant op, Variant imposto) {
  Sql("INSERT INTO tblDetalhesInterUFs (Declaração, Ref, Tipo, UF, ValorContábil_1, BaseCálculo_1, Outras, "
      "PetróleoEnergia, OutrosProdutos, Imposto) VALUES (?,?,0,?,?,?,?,?,?,?)",
      {Variant::Long(d), Variant::Long(ref), Variant::Str(uf), vc1, bc1, outras, pe, op, imposto});
}

void BancoTeste::DetalheSaida(int d, int ref, const std::string& uf, Variant vc1, Variant vc2, Variant bc1,
                              Variant bc2, Variant outras, Variant st, Variant imposto) {
  Sql("INSERT INTO tblDetalhesInterUFs (Declaração, Ref, Tipo, UF, ValorContábil_1, ValorContábil_2, "
      "BaseCálculo_1, BaseCálculo_2, Outras, ICMSCobradoST, Imposto) VALUES (?,?,1,?,?,?,?,?,?,?,?)",
      {Variant::Long(d), Variant::Long(ref), Variant::Str(uf), vc1, vc2, bc1, bc2, outras, st, imposto});
}

void BancoTeste::Tovir(int d, const std::string& cod, const std::string& municipio, int codigo,
                       Variant valor) {
  Sql("INSERT INTO tblTOVIR (Declaração, CódTOVIR, Município, Código, Valor) VALUES (?,?,?,?,?)",
      {Variant::Long(d), Variant::Str(cod), Variant::Str(municipio), Variant::Long(codigo), valor});
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
