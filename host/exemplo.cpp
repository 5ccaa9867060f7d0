#include "host/exemplo.h"

#include "platform/db/sqlite_banco.h"

namespace kv::host {
namespace {

Variant L(long long v) {
  return Variant::Long(static_cast<int32_t>(v));
}
Variant C(double v) {
  return Variant::Cur(CurrencyDeDouble(v));
}
Variant S(const std::string& s) {
  return Variant::Str(s);
}

void Contribuinte(Database& b, const std::string& ie, const std::string& cnpj, const std::string& cnae) {
  b.Executa("INSERT OR REPLACE INTO tblContribuinte (IE, CNPJ, CNAE) VALUES (?, ?, ?)",
            {S(ie), S(cnpj), S(cnae)});
}

void Declaracao(Database& b, int32_t d, const std::string& ie, int deAcordo) {
  b.Executa(
      "INSERT INTO tblDeclaração (Declaração, IE, Consistente, DeAcordo, Chave) VALUES (?, ?, 0, ?, NULL)",
      {L(d), S(ie), L(deAcordo)});
}

void Detalhe(Database& b, int32_t d, int ref, int tipo, const std::string& uf, double vc1, double bc1,
             double outras, double imposto, double pe, double op, double vc2, double bc2, double st) {
  b.Executa(
      "INSERT INTO tblDetalhesInterUFs (Declaração, Ref, Tipo, UF, ValorContábil_1, BaseCálculo_1, Outras, "
      "Imposto, "
      "PetróleoEnergia, OutrosProdutos, ValorContábil_2, BaseCálculo_2, ICMSCobradoST) VALUES "
      "(?,?,?,?,?,?,?,?,?,?,?,?,?)",
      {L(d), L(ref), L(tipo), S(uf), C(vc1), C(bc1), C(outras), C(imposto), C(pe), C(op), C(vc2), C(bc2),
       C(st)});
}

void Tovir(Database& b, int32_t d, const std::string& cod, const std::string& municipio, int codigo,
           double valor) {
  b.Executa("INSERT INTO tblTOVIR (Declaração, CódTOVIR, Município, Código, Valor) VALUES (?,?,?,?,?)",
            {L(d), S(cod), S(municipio), L(codigo), C(valor)});
}

const char* const kUFs[] = {"SP", "RJ", "MG", "BA", "PR", "RS", "SC", "GO", "PE", "CE", "ES", "MT"};

}  // namespace

void InsereDeclaracaoLimpa(Database& b, int32_t d, const std::string& ie, int estados, int tovir) {
  if (estados < 1) estados = 1;
  if (estados > 12) estados = 12;
  Contribuinte(b, ie, "12.345.678/0001-90", "4711-3/02");
  Declaracao(b, d, ie, 1);
  for (int m = 1; m <= 12; ++m) {
    double inter = 100.0 * estados;
    b.Executa(
        "INSERT INTO tblEntradas (Declaração, Ref, EntradaInter, ImpAquisição, EntradaInterna) VALUES "
        "(?,?,?,?,?)",
        {L(d), L(m), C(inter), C(inter * 0.1), C(5000)});
    b.Executa(
        "INSERT INTO tblSaídas (Declaração, Ref, SaídaInterna, SaídaInter, ImpDevido, SaídaInternaNtrib, "
        "SaídaInterNtrib) VALUES (?,?,?,?,?,?,?)",
        {L(d), L(m), C(3000), C(inter), C(400), C(200), C(0)});
    for (int e = 0; e < estados; ++e) {
      // Entries: accounting value = base + others + petroleum + other products; tax at 10% of the base.
      Detalhe(b, d, m, 0, kUFs[e], 100, 80, 10, 8, 5, 5, 0, 0, 0);
      // Exits: taxpayers and non-taxpayers add up to the month's interstate exits.
      Detalhe(b, d, m, 1, kUFs[e], 70, 60, 5, 9, 0, 0, 30, 25, 10);
    }
  }
  Tovir(b, d, "1.1", "Cidade Alta", 1, 30000);
  Tovir(b, d, "1.3", "Vila Nova", 1, 20000);
  Tovir(b, d, "2.2", "Cidade Alta", 1, 10000);
  Tovir(b, d, "2.3", "Vila Nova", 1, 5000);
  // Further rows: each in a municipality of its own, small enough to keep every total within bounds.
  static const char* const kCodigos[] = {"1.1", "1.3", "2.2", "2.3", "2.4", "2.5", "2.6"};
  for (int i = 4; i < tovir; ++i) Tovir(b, d, kCodigos[i % 7], "Município " + std::to_string(i), 1, 10);
}

void SemeiaAchados(Database& b, int32_t d) {
  b.Executa("UPDATE tblEntradas SET ImpAquisição = 0 WHERE Declaração = ? AND Ref = 3", {L(d)});
  b.Executa("UPDATE tblSaídas SET ImpDevido = 0 WHERE Declaração = ? AND Ref = 11", {L(d)});
  b.Executa("UPDATE tblEntradas SET EntradaInter = EntradaInter + 50 WHERE Declaração = ? AND Ref = 4",
            {L(d)});
  b.Executa("UPDATE tblDetalhesInterUFs SET Imposto = 26 WHERE Declaração = ? AND Ref = 10 AND Tipo = 1",
            {L(d)});
  Tovir(b, d, "2.2", "Cidade Alta", 2, 0);
  Tovir(b, d, "3.7", "Cidade Alta", 1, 150);
  b.Executa("UPDATE tblDeclaração SET DeAcordo = -1 WHERE Declaração = ?", {L(d)});
  b.Executa(
      "UPDATE tblContribuinte SET CNPJ = '__.___.___/____-__' WHERE IE IN (SELECT IE FROM tblDeclaração "
      "WHERE Declaração = ?)",
      {L(d)});
}

std::vector<DeclaracaoExemplo> CriaExemplo(const std::string& caminho) {
  auto b = CriaSqlite(caminho);
  b->Inicia();
  CriaEsquema(*b);
  std::vector<DeclaracaoExemplo> r;

  InsereDeclaracaoLimpa(*b, 1, "100000001");
  r.push_back({1, "nenhum achado: consistente"});

  InsereDeclaracaoLimpa(*b, 12, "100000012");
  b->Executa("UPDATE tblEntradas SET ImpAquisição = 0 WHERE Declaração = 12 AND Ref = 3", {});
  b->Executa("UPDATE tblEntradas SET ImpAquisição = 60.01 WHERE Declaração = 12 AND Ref = 7", {});
  r.push_back({12, "Entradas: março sem imposto (A:Entradas3Imp) e julho acima de 25% (A:Entradas725%)"});

  Contribuinte(*b, "100000002", "12.345.678/0002-71", "4711-3/02");
  Declaracao(*b, 2, "100000002", 1);
  r.push_back({2, "Exercício sem nenhum lançamento mensal (M:ExercícioZER)"});

  InsereDeclaracaoLimpa(*b, 3, "100000003");
  Contribuinte(*b, "100000003", "__.___.___/____-__", "____-_/__");
  r.push_back({3, "Contribuinte sem CNPJ (H:CNPJ) e sem CNAE (I:CNAE)"});

  InsereDeclaracaoLimpa(*b, 4, "100000004");
  b->Executa(
      "UPDATE tblSaídas SET SaídaInterna = 600, SaídaInter = 400, ImpDevido = 0 WHERE Declaração = 4 AND "
      "Ref = 11",
      {});
  b->Executa(
      "UPDATE tblDetalhesInterUFs SET ValorContábil_1 = 140, BaseCálculo_1 = 130, ValorContábil_2 = 60, "
      "BaseCálculo_2 = 55 WHERE Declaração = 4 AND Ref = 11 AND Tipo = 1",
      {});
  b->Executa("UPDATE tblSaídas SET ImpDevido = 1500 WHERE Declaração = 4 AND Ref = 5", {});
  r.push_back({4, "Saídas: novembro sem imposto devido (B:Saídas11Imp) e maio acima de 25% (B:Saídas525%)"});

  InsereDeclaracaoLimpa(*b, 5, "100000005");
  b->Executa("UPDATE tblEntradas SET EntradaInter = 1000 WHERE Declaração = 5 AND Ref = 3", {});
  b->Executa(
      "UPDATE tblDetalhesInterUFs SET Imposto = 25.01, BaseCálculo_1 = 100, Outras = 0, "
      "PetróleoEnergia = 0, OutrosProdutos = 0 WHERE Declaração = 5 AND Ref = 12 AND Tipo = 0 AND UF = 'SP'",
      {});
  b->Executa("UPDATE tblSaídas SET SaídaInter = 700, SaídaInterNtrib = 300 WHERE Declaração = 5 AND Ref = 5",
             {});
  b->Executa(
      "UPDATE tblDetalhesInterUFs SET Imposto = 40, ValorContábil_1 = 120, BaseCálculo_1 = 100 WHERE "
      "Declaração = 5 AND Ref = 10 AND Tipo = 1 AND UF = 'RJ'",
      {});
  b->Executa("UPDATE tblSaídas SET SaídaInter = 250 WHERE Declaração = 5 AND Ref = 10", {});
  r.push_back(
      {5,
       "Entradas Interestaduais (C:3VC, C:1225) e Saídas Interestaduais (D:5VC, D:1025, com valores por "
       "estado)"});

  InsereDeclaracaoLimpa(*b, 6, "100000006");
  Tovir(*b, 6, "1.3", "Porto Azul", 1, 0);
  Tovir(*b, 6, "2.2", "cidade alta", 2, 100);
  Tovir(*b, 6, "1.1", "Porto Azul", 1, 10000.01);
  Tovir(*b, 6, "3.7", "Cidade Alta", 1, 150);
  Tovir(*b, 6, "2.6", "Porto Azul", 1, 40000);
  r.push_back(
      {6,
       "TOVIR: zeros em 1.3, município repetido em 2.2, 1.X acima das entradas internas, valores em 3.7 "
       "(J:TOVIR 3.X) e 2.X acima das saídas"});

  InsereDeclaracaoLimpa(*b, 7, "100000007");
  b->Executa("UPDATE tblDeclaração SET DeAcordo = -1 WHERE Declaração = 7", {});
  r.push_back({7, "Declaração de Enquadramento sem opção selecionada (F:-1)"});

  b->Confirma();
  return r;
}

}  // namespace kv::host
