// The database layer: the Jet adapter's rewrites, declared types, RecordCount, editing, errors.
#include <gtest/gtest.h>

#include "apoio.h"
#include "platform/db/jetsql.h"
#include "platform/db/modelo.h"
#include "platform/db/sqlite_banco.h"
#include "platform/erro.h"

namespace kv {
namespace {

using teste::BancoTeste;
using teste::NumeroDoErro;

TEST(AdaptadorJet, ReescreveODialetoEDynasetDeUmaTabelaGanhaORowid) {
  struct Caso {
    const char* jet;
    const char* sqlite;
    std::vector<long long> parametros;
  };
  const Caso casos[] = {
      // Whole numbers become parameters, other literals stay; Jet's wildcards, an exact LIKE, a LIKE that
      // needs an escape.
      {"SELECT * FROM t WHERE ((a = 12) And (b =3)) AND c LIKE 'ab*' AND d LIKE '?x' AND e LIKE '5%_' AND f "
       "LIKE 'a_*' AND g = 'it''s 12' AND v = 0.25 ORDER BY 2",
       "SELECT * FROM t WHERE ((a = ?) And (b =?)) AND c LIKE 'ab%' AND d LIKE '_x' AND e = '5%_' AND f LIKE "
       "'a\\_%' ESCAPE '\\' AND g = 'it''s 12' AND v = 0.25 ORDER BY 2",
       {12, 3}},
      // HAVING terms on grouped columns move to WHERE, with GROUP BY and without.
      {"SELECT DISTINCTROW Sum(V) AS S FROM t GROUP BY  Declaração, Ref, Tipo HAVING ((Declaração = 12) And "
       "(Ref =3) And (Tipo = 0 ))",
       "SELECT Sum(V) AS S FROM t WHERE (Declaração = ?) AND (Ref =?) AND (Tipo = ?) GROUP BY  Declaração, "
       "Ref, Tipo",
       {12, 3, 0}},
      {"SELECT SUM(x) as x1 FROM tblEntradas HAVING (Declaração = 7)",
       "SELECT SUM(x) as x1 FROM tblEntradas WHERE (Declaração = ?)",
       {7}},
      {"SELECT a FROM t GROUP BY a HAVING (a=1) AND (c LIKE '2.2') AND (Count(b)>1)",
       "SELECT a FROM t WHERE (a=?) AND (c = '2.2') GROUP BY a HAVING (Count(b)>?)",
       {1, 1}},
      {"SELECT a FROM t GROUP BY a HAVING (a=1) AND ((b=2) OR (c=3))",
       "SELECT a FROM t WHERE (a=?) AND ((b=?) OR (c=?)) GROUP BY a",
       {1, 2, 3}},
      // A grouped column no equality binds is grouped without its index ("+").
      {"SELECT a FROM t GROUP BY a HAVING (a=1) AND (b=2) OR (Count(c)>1)",
       "SELECT a FROM t GROUP BY +a HAVING (a=?) AND (b=?) OR (Count(c)>?)",
       {1, 2, 1}},
      {"SELECT a FROM t GROUP BY a HAVING (a=1) OR (a=2)",
       "SELECT a FROM t WHERE ((a=?) OR (a=?)) GROUP BY +a",
       {1, 2}},
      {"SELECT t.a, Count(*) FROM t GROUP BY t.a, Left(b, 2), [c d] ORDER BY t.a",
       "SELECT t.a, Count(*) FROM t GROUP BY +t.a, Left(b, 2), +\"c d\" ORDER BY t.a",
       {}},
      {"SELECT D, C, M, Count(X) FROM t GROUP BY D, C, M HAVING (D=3) AND (C LIKE '2.2') AND (Count(X)>1)",
       "SELECT D, C, M, Count(X) FROM t WHERE (D=?) AND (C = '2.2') GROUP BY D, C, +M HAVING (Count(X)>?)",
       {3, 1}},
  };
  for (const Caso& c : casos) {
    SqlAdaptado a = AdaptaJet(c.jet);
    EXPECT_EQ(a.texto, c.sqlite) << c.jet;
    EXPECT_EQ(a.parametros, c.parametros) << c.jet;
  }
  // A dynaset of one table gains the rowid it is edited by; a sum or a join has no row to edit.
  EXPECT_EQ(AdaptaJet("SELECT * FROM tbldeclaração WHERE (Declaração=1)", true).tabelaUnica, "tbldeclaração");
  EXPECT_EQ(AdaptaJet("SELECT SUM(x) FROM t HAVING (d = 1)", true).tabelaUnica, "");
  EXPECT_EQ(AdaptaJet("SELECT a FROM t LEFT JOIN u ON t.a = u.a", true).tabelaUnica, "");
}

TEST(BancoSqlite, ConsultasDeDetalheUsamOIndice) {
  BancoTeste b;
  const char* const consultas[] = {
      "SELECT DISTINCTROW Sum(ValorContábil_1) AS SomaVC FROM tblDetalhesInterUFs GROUP BY  Declaração, Ref, "
      "Tipo HAVING ((Declaração = 12) And (Ref =3) And (Tipo = 0 ))",
      "SELECT * FROM tblDetalhesInterUFs WHERE ((Declaração = 12) And (Ref =3) And (Tipo = 0))ORDER BY Ref",
      "SELECT SUM(EntradaInterna) as x1 FROM tblEntradas HAVING (Declaração = 12)",
      "SELECT Declaração, CódTOVIR, Município, Count(Código) AS C From tblTOVIR GROUP BY Declaração, "
      "CódTOVIR, Município HAVING (Declaração=12) AND (CódTOVIR LIKE '2.2') AND (Count(Código)>1)",
      "SELECT SUM(Valor) as Soma FROM tblTOVIR WHERE (Declaração=12) AND (CódTOVIR LIKE '1.1')",
  };
  for (const char* q : consultas) {
    std::string plano = PlanoDeConsulta(b.db(), q);
    EXPECT_NE(plano.find("USING INDEX"), std::string::npos) << q << "\n" << plano;
    EXPECT_EQ(plano.find("SCAN tbl"), std::string::npos) << q << "\n" << plano;
  }
}

TEST(BancoSqlite, TiposDeclaradosDecidemOValor) {
  BancoTeste b;
  b.Sql("CREATE TABLE tipos (m CURRENCY, l INTEGER, s SMALLINT, b BOOLEAN, d REAL, t TEXT, Aquisição MONEY)");
  b.Sql("INSERT INTO tipos VALUES (250.01, 7, 3, 5, 0.5, 'x', 1.5)");
  b.Sql("INSERT INTO tipos VALUES (1000, NULL, NULL, 0, NULL, 12, NULL)");
  b.Sql("INSERT INTO tipos VALUES ('abc', 1, 1, 1, 1, NULL, NULL)");
  // An amount beyond a Double's digits is written as its decimal text and read back exactly.
  b.Sql("INSERT INTO tipos (m, l) VALUES (?, 2)", {Variant::Cur(Currency{9223372036854775807})});
  auto rs = b.db().OpenRecordset("SELECT * FROM tipos");
  EXPECT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(rs->Campo("M").tipo(), Variant::Tipo::Currency);
  EXPECT_EQ(rs->Campo("m").AsCurrency().dezmilesimos, 2500100);
  EXPECT_EQ(rs->Campo("l").tipo(), Variant::Tipo::Long);
  EXPECT_EQ(rs->Campo("s").tipo(), Variant::Tipo::Integer);
  EXPECT_TRUE(rs->Campo("b").AsBool());
  EXPECT_EQ(rs->Campo("d").tipo(), Variant::Tipo::Double);
  EXPECT_EQ(rs->Campo("AQUISIÇÃO").AsCurrency().dezmilesimos,
            15000);  // names match without case, accents too
  EXPECT_EQ(NumeroDoErro([&] { rs->Campo("naoexiste"); }), kErroItemNaoEncontrado);
  rs->MoveNext();
  EXPECT_EQ(rs->Campo("m").AsCurrency().dezmilesimos, 10000000);
  EXPECT_TRUE(rs->Campo("l").IsNull());
  EXPECT_EQ(rs->Campo("t").AsString(), "12");
  rs->MoveNext();
  // Text where an amount belongs fails only when that field is read.
  EXPECT_EQ(NumeroDoErro([&] { rs->Campo("m"); }), kErroTipos);
  EXPECT_EQ(rs->Campo("l").AsInt(), 1);
  rs->MoveNext();
  EXPECT_EQ(rs->Campo("m").AsCurrency().dezmilesimos, 9223372036854775807);
  rs->MoveNext();
  EXPECT_TRUE(rs->Eof());
  EXPECT_EQ(b.db().OpenRecordset("SELECT * FROM tipos WHERE l = 99")->RecordCount(), 0);
}

TEST(BancoSqlite, DynasetEditaPorRowidESnapshotRecusa) {
  BancoTeste b;
  b.Linhas("D@5 -1; D@6 -1");
  {
    auto rs = b.db().OpenRecordset("SELECT * FROM tbldeclaração WHERE (Declaração=5)", kDynaset);
    rs->Edit();
    rs->DefineCampo("DeAcordo", Variant::Int(1));
    rs->Update();
  }
  auto v = b.db().OpenRecordset(
      "SELECT group_concat(DeAcordo) AS d FROM (SELECT DeAcordo FROM tblDeclaração ORDER BY Declaração)");
  EXPECT_EQ(TextoDe(v->Campo("d")), "1,-1");
  // The refusal names the recordset's own statement, also with a snapshot of the same shape open beside it.
  auto soma =
      b.db().OpenRecordset("SELECT Sum(DeAcordo) AS s FROM tblDeclaração WHERE Declaração = 5", kDynaset);
  auto s =
      b.db().OpenRecordset("SELECT Sum(DeAcordo) AS s FROM tblDeclaração WHERE Declaração = 6", kSnapshot);
  for (auto [rs, fim] : {std::pair{soma.get(), "= 5)"}, std::pair{s.get(), "= 6)"}}) {
    const std::string erro = teste::ErroDe([&] { rs->Edit(); });
    EXPECT_TRUE(erro.starts_with("3027: ") && erro.ends_with(fim)) << erro;
  }
}

// Statements are reused across calls: a parameter a call does not give is Null, never what an earlier call
// on the same statement bound.
TEST(BancoSqlite, ParametroNaoDadoEhNuloNaInstrucaoReusada) {
  BancoTeste b;
  b.Sql("CREATE TABLE p (x INTEGER)");
  b.db().Executa("INSERT INTO p VALUES (?)", {Variant::Long(5)});
  b.db().Executa("INSERT INTO p VALUES (?)", {});
  EXPECT_EQ(TextoDe(b.db().OpenRecordset("SELECT count(*) AS n FROM p WHERE x IS NULL")->Campo("n")), "1");
  b.db().Executa("SELECT ? AS x", {Variant::Long(7)});
  EXPECT_TRUE(b.db().OpenRecordset("SELECT ? AS x")->Campo("x").IsNull());
}

// A host may alter a table while this connection keeps statements on it prepared: SQLite prepares them
// again, and what was known of their columns must be read again too, or a field reads its neighbour.
TEST(BancoSqlite, ColunasRelidasQuandoOHospedeiroAlteraATabela) {
  BancoTeste b;
  b.Sql("CREATE TABLE h (a INTEGER, b INTEGER, c TEXT)");
  b.Sql("INSERT INTO h VALUES (1, 2, '3')");
  auto host = AbreSqlite(b.caminho());
  const std::string sql = "SELECT * FROM h";
  auto le = [&](int tipo) { return TextoDe(b.db().OpenRecordset(sql, tipo)->Campo("b")); };
  for (int tipo : {kSnapshot, kDynaset}) EXPECT_EQ(le(tipo), "2");
  auto lido = b.db().OpenRecordset(sql, kDynaset);  // rows copied before the change keep their columns
  host->Executa("ALTER TABLE h DROP COLUMN a", {});
  for (int tipo : {kSnapshot, kDynaset}) EXPECT_EQ(le(tipo), "2") << tipo;
  EXPECT_EQ(TextoDe(lido->Campo("a")), "1");
  host->Executa("ALTER TABLE h ADD COLUMN d INTEGER DEFAULT 4", {});
  EXPECT_EQ(TextoDe(b.db().OpenRecordset(sql)->Campo("d")), "4");
  host->Executa("ALTER TABLE h DROP COLUMN b", {});
  for (int tipo : {kSnapshot, kDynaset}) {
    EXPECT_EQ(NumeroDoErro([&] { le(tipo); }), kErroItemNaoEncontrado) << tipo;
    EXPECT_EQ(TextoDe(b.db().OpenRecordset(sql, tipo)->Campo("c")), "3") << tipo;
  }
}

// A model reads what its whole text reads, whatever values come and in whatever order: value slots bound
// (or, given anything but a plain whole number, spliced like the text), text slots spliced; its errors
// name the whole text.
TEST(BancoSqlite, ModeloLeOMesmoQueSeuTexto) {
  BancoTeste b;
  b.Sql("CREATE TABLE m (d INTEGER, r INTEGER, c TEXT, v INTEGER)");
  b.Sql(
      "INSERT INTO m VALUES (1, 1, '1.1', 10), (1, 2, '1.1', 20), (2, 1, '2.2', 30), (12, 3, '1.1', 40), "
      "(-3, 1, '1.1', 50), (1, 12, '2.2', 60), (1, 15, '1.1', 70)");
  const ModeloSql numeros{"SELECT Sum(v) AS s, Count(*) AS n FROM m WHERE d = ", Vaga::Valor,
                          " AND r <= ", Vaga::Valor};
  const ModeloSql codigo{"SELECT Sum(v) AS s, Count(*) AS n FROM m WHERE d = ", Vaga::Valor, " AND c LIKE ",
                         Vaga::Texto};
  const ModeloSql colado{"SELECT Sum(v) AS s, Count(*) AS n FROM m WHERE r = 1", Vaga::Texto,
                         " OR d = ", Vaga::Valor};
  const ModeloSql aspas{"SELECT Sum(v) AS s, Count(*) AS n FROM m WHERE c = '", Vaga::Texto,
                        "' OR d = ", Vaga::Valor};
  // The adapter moves the second slot's term ahead of the first's: each value still takes its own slot.
  const ModeloSql movido{"SELECT Sum(v) AS s, Count(*) AS n FROM m GROUP BY d HAVING (Count(*) > ",
                         Vaga::Valor, ") AND (d = ", Vaga::Valor, ")"};
  // 20 digits, and 19 past the largest number: spliced, never wrapped into another value.
  const std::string_view n20 = "12345678901234567890", n19 = "9999999999999999999";
  const struct {
    const ModeloSql& modelo;
    std::string_view a, b;
  } casos[] = {{numeros, "1", "1"},    {numeros, "1", "12"}, {numeros, "2", "9"},    {numeros, "12", "3"},
               {numeros, "-3", "1"},   {numeros, "1", "-3"}, {numeros, "01", "2"},   {numeros, "1", "1.5"},
               {numeros, "1", n20},    {numeros, "1", n19},  {codigo, "1", "'1.1'"}, {codigo, "2", "'2.2'"},
               {codigo, "1", "'2.2'"}, {colado, "2", "1"},   {colado, "5", "2"},     {colado, "", "12"},
               {aspas, "1.1", "2"},    {aspas, "2.2", "12"}, {aspas, "1.1", "-3"},   {movido, "0", "1"},
               {movido, "2", "1"},     {movido, "1", "12"}};
  auto le = [](Recordset& rs) {
    return rs.Eof() ? "-" : TextoDe(rs.Campo("s")) + "/" + TextoDe(rs.Campo("n"));
  };
  for (int volta = 0; volta < 3; ++volta) {
    for (int tipo : {kSnapshot, kDynaset})
      for (const auto& c : casos) {
        const std::string texto = c.modelo.Texto({c.a, c.b});
        EXPECT_EQ(le(*AbreModelo(b.db(), c.modelo, {c.a, c.b}, tipo)), le(*b.db().OpenRecordset(texto, tipo)))
            << texto << " (volta " << volta << ", tipo " << tipo << ")";
      }
    // Enough other texts that the connection forgets the ones it knew.
    for (int k = 0; k < 600 && volta == 0; ++k) b.db().OpenRecordset("SELECT 1 AS a" + std::to_string(k));
  }
  EXPECT_EQ(le(*AbreModelo(b.db(), numeros, {"1", "12"})), "90/3");
  EXPECT_EQ(le(*AbreModelo(b.db(), movido, {"0", "1"})), "160/4");
  EXPECT_THROW(AbreModelo(b.db(), numeros, {"1"}), std::logic_error);

  const ModeloSql semTabela{"SELECT * FROM naoExiste WHERE d = ", Vaga::Valor};
  for (std::string_view d : {"1", "2"}) {
    const std::string erro = teste::ErroDe([&] { AbreModelo(b.db(), semTabela, {d}); });
    EXPECT_TRUE(erro.ends_with("(SQL: SELECT * FROM naoExiste WHERE d = " + std::string(d) + ")")) << erro;
  }
}

TEST(BancoSqlite, ErrosTrazemMensagemDoMotorESql) {
  BancoTeste b;
  const std::pair<const char*, const char*> casos[] = {
      {"SELECT * FROM tabelaQueNaoExiste", "3001: no such table: tabelaQueNaoExiste"},
      {"", "3129: "},
      {"  -- só um comentário", "3129: "}};
  for (const auto& [sql, comeco] : casos) {
    for (const std::string& erro :
         {teste::ErroDe([&] { b.db().OpenRecordset(sql); }), teste::ErroDe([&] { b.db().Executa(sql, {}); })})
      EXPECT_TRUE(erro.starts_with(comeco) && erro.find(*sql ? "(SQL: " : "vazia") != std::string::npos)
          << erro;
  }
}

}  // namespace
}  // namespace kv
