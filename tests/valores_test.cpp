// Values decide every rule's outcome: conversions, Null, comparisons across types, limits.
#include <gtest/gtest.h>

#include <clocale>
#include <functional>

#include "apoio.h"
#include "platform/erro.h"
#include "platform/formato.h"
#include "platform/variant.h"

namespace kv {
namespace {

using teste::L;
using teste::NumeroDoErro;

Variant D(double d) {
  return Variant::Dbl(d);
}
Variant C(int64_t unidades) {
  return Variant::Cur(Currency{unidades});
}
Variant S(const char* texto) {
  return Variant::Str(texto);
}

TEST(Conversoes, ArredondamMetadeParaParEEstouramForaDoIntervalo) {
  const std::map<std::string, std::function<int64_t(const Variant&)>> conversoes = {
      {"CByte", [](const Variant& v) { return CByte(v); }},
      {"CInt", [](const Variant& v) { return CInt(v); }},
      {"CLng", [](const Variant& v) { return CLng(v); }},
      {"CCur", [](const Variant& v) { return CCur(v).dezmilesimos; }}};
  // CCur of a Double rounds its product by 10000 (0.5, 2.5, 1.4999...); of a text, the exact value.
  const Variant nulo = Variant::Nulo(), maximo = S("922337203685477.5807"),
                minimo = S("-922337203685477.5808"), alem = S("922337203685477.5808"),
                quarto = Produto(C(2), 0.25);
  const int est = kErroEstouro, tipos = kErroTipos;
  struct Caso {
    const char* conversao;
    Variant valor;
    int64_t esperado;
    int erro;
  };
  const Caso casos[] = {
      {"CByte", D(0.5), 0, 0},           {"CByte", D(1.5), 2, 0},       {"CByte", D(2.5), 2, 0},
      {"CByte", L(255), 255, 0},         {"CByte", D(255.5), 0, est},   {"CByte", L(-1), 0, est},
      {"CByte", D(-0.5), 0, 0},          {"CByte", nulo, 0, kErroNulo}, {"CByte", S("3"), 3, 0},
      {"CByte", S("mar"), 0, tipos},     {"CByte", C(25000), 2, 0},     {"CByte", C(35000), 4, 0},
      {"CInt", D(32767), 32767, 0},      {"CInt", D(32767.5), 0, est},  {"CInt", D(-32768.5), -32768, 0},
      {"CInt", S(""), 0, tipos},         {"CInt", S("2001"), 2001, 0},  {"CInt", S("40000"), 0, est},
      {"CLng", D(2147483648.0), 0, est}, {"CCur", D(0.00005), 0, 0},    {"CCur", D(0.00025), 2, 0},
      {"CCur", D(0.00015), 1, 0},        {"CCur", quarto, 0, 0},        {"CCur", S("250.01"), 2500100, 0},
      {"CCur", S("0.00005"), 0, 0},      {"CCur", S("0.00015"), 2, 0},  {"CCur", maximo, INT64_MAX, 0},
      {"CCur", minimo, INT64_MIN, 0},    {"CCur", alem, 0, est},        {"CCur", D(1e300), 0, est},
      {"CCur", nulo, 0, kErroNulo},      {"CCur", Variant(), 0, 0},     {"CCur", S("abc"), 0, tipos}};
  for (const auto& c : casos) {
    int64_t obtido = 0;
    EXPECT_EQ(NumeroDoErro([&] { obtido = conversoes.at(c.conversao)(c.valor); }), c.erro)
        << c.conversao << " " << TextoDe(c.valor);
    EXPECT_EQ(obtido, c.esperado) << c.conversao << " " << TextoDe(c.valor);
  }
}

TEST(Comparacoes, NuloDeQualquerLadoETiposMistos) {
  const Tri V = Tri::Verdadeiro, F = Tri::Falso, N = Tri::Nulo;
  const Variant nulo = Variant::Nulo(), zero = Variant::Int(0);
  // Null on either side, and And and Or with Null; Currency against Double and Long, equal values; Empty
  // as 0 and ""; texts exactly, or as numbers against numbers.
  const std::pair<Tri, std::vector<Tri>> casos[] = {
      {N,
       {Igual(nulo, zero), Igual(zero, nulo), Diferente(nulo, zero), Maior(nulo, zero), Maior(zero, nulo),
        Menor(nulo, nulo), E(V, N), Ou(F, N)}},
      {V,
       {Igual(C(0), zero), Maior(C(2500100), D(250.0)), Maior(C(1), L(0)), Igual(Variant(), zero),
        Igual(Variant(), S("")), Igual(S("12"), L(12)), Ou(V, N)}},
      {F, {Maior(C(2500000), D(250.0)), Maior(L(-100), zero), Igual(S("abc"), S("ABC")), E(F, N)}}};
  for (const auto& [esperado, obtidos] : casos)
    for (size_t i = 0; i < obtidos.size(); ++i)
      EXPECT_EQ(obtidos[i], esperado) << static_cast<int>(esperado) << " " << i;
  EXPECT_EQ(NumeroDoErro([] { Igual(S("abc"), Variant::Long(1)); }), kErroTipos);
}

TEST(Aritmetica, NuloPropagaECurrencyEhExataComEstouro) {
  EXPECT_TRUE(Soma(Variant::Nulo(), C(1)).IsNull());
  EXPECT_TRUE(Soma(C(1), Variant::Nulo()).IsNull());
  EXPECT_TRUE(Produto(Variant::Nulo(), 0.25).IsNull());
  Variant s = Soma(C(1), C(2));
  EXPECT_EQ(s.tipo(), Variant::Tipo::Currency);
  EXPECT_EQ(s.AsCurrency().dezmilesimos, 3);
  EXPECT_EQ(Produto(C(10000000), 0.25).tipo(), Variant::Tipo::Double);
  EXPECT_EQ(NumeroDoErro([] { Soma(C(INT64_MAX), C(1)); }), kErroEstouro);
  EXPECT_EQ(NumeroDoErro([] { (void)(Currency{INT64_MIN} + Currency{-1}); }), kErroEstouro);
  // Integer sums widen instead of overflowing, as variants did.
  EXPECT_EQ(Soma(Variant::Int(32767), Variant::Int(1)).tipo(), Variant::Tipo::Long);
  EXPECT_EQ(TextoDe(Variant::Nulo()), "");
  EXPECT_EQ(NumeroDoErro([] { CStr(Variant::Nulo()); }), kErroNulo);
  EXPECT_EQ(CStr(Variant::Long(-1)), "-1");
  EXPECT_EQ(CStr(C(125000)), "12.5");
  // Whatever the C locale (Qt sets it from the environment), numbers are written with a point.
  const char* anterior = std::setlocale(LC_NUMERIC, "pt_BR.UTF-8");
  EXPECT_EQ(CStr(Variant::Dbl(3.5)), "3.5");
  EXPECT_EQ(CStr(Variant::Dbl(0.1 + 0.2)), "0.3");
  EXPECT_EQ(CStr(Variant::Dbl(1e20)), "1e+20");
  if (anterior) std::setlocale(LC_NUMERIC, "C");
}

TEST(Formato, DuasCasasAgrupadasSemZeroNegativo) {
  const struct {
    int64_t unidades;
    const char *ptBR, *c;
  } casos[] = {
      {12345000, "1.234,50", "1,234.50"},
      {0, "0,00", "0.00"},
      {-40, "0,00", "0.00"},    // -0.004 rounds to zero: no minus sign
      {-50, "-0,01", "-0.01"},  // half away from zero
      {10000000000, "1.000.000,00", "1,000,000.00"},
      {INT64_MAX, "922.337.203.685.477,58", "922,337,203,685,477.58"},
      {INT64_MIN, "-922.337.203.685.477,58", "-922,337,203,685,477.58"},
  };
  for (const auto& x : casos) {
    EXPECT_EQ(FormataValor(Currency{x.unidades}, ".", ","), x.ptBR) << x.unidades;
    EXPECT_EQ(FormataValor(Currency{x.unidades}, ",", "."), x.c) << x.unidades;
  }
}

}  // namespace
}  // namespace kv
