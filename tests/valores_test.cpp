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

using teste::NumeroDoErro;

Variant D(double d) {
  return Variant::Dbl(d);
}
Variant C(int64_t unidades) {
  return Variant::Cur(Currency{unidades});
}

TEST(Conversoes, ArredondamMetadeParaParEEstouramForaDoIntervalo) {
  struct Caso {
    const char* nome;
    std::function<int64_t()> converte;
    int64_t esperado;  // ignored when an error is expected
    int erro;
  };
  const Caso casos[] = {
      {"CByte 0.5", [] { return CByte(D(0.5)); }, 0, 0},
      {"CByte 1.5", [] { return CByte(D(1.5)); }, 2, 0},
      {"CByte 2.5", [] { return CByte(D(2.5)); }, 2, 0},
      {"CByte 255", [] { return CByte(Variant::Long(255)); }, 255, 0},
      {"CByte 255.5 passa de 255", [] { return CByte(D(255.5)); }, 0, kErroEstouro},
      {"CByte -1", [] { return CByte(Variant::Long(-1)); }, 0, kErroEstouro},
      {"CByte -0.5 vai a zero", [] { return CByte(D(-0.5)); }, 0, 0},
      {"CByte Nulo", [] { return CByte(Variant::Nulo()); }, 0, kErroNulo},
      {"CByte texto", [] { return CByte(Variant::Str("3")); }, 3, 0},
      {"CByte texto sem número", [] { return CByte(Variant::Str("mar")); }, 0, kErroTipos},
      {"CByte Currency 2.5", [] { return CByte(C(25000)); }, 2, 0},
      {"CByte Currency 3.5", [] { return CByte(C(35000)); }, 4, 0},
      {"CInt 32767", [] { return CInt(D(32767)); }, 32767, 0},
      {"CInt 32767.5", [] { return CInt(D(32767.5)); }, 0, kErroEstouro},
      {"CInt -32768.5 par", [] { return CInt(D(-32768.5)); }, -32768, 0},
      {"CInt texto vazio", [] { return CInt(Variant::Str("")); }, 0, kErroTipos},
      {"CInt 2001", [] { return CInt(Variant::Str("2001")); }, 2001, 0},
      {"CInt 40000", [] { return CInt(Variant::Str("40000")); }, 0, kErroEstouro},
      {"CLng 2147483648", [] { return CLng(D(2147483648.0)); }, 0, kErroEstouro},
      {"CCur 0.00005 (produto 0.5)", [] { return CCur(D(0.00005)).dezmilesimos; }, 0, 0},
      {"CCur 0.00025 (produto 2.5)", [] { return CCur(D(0.00025)).dezmilesimos; }, 2, 0},
      {"CCur 0.00015 (produto 1.4999...)", [] { return CCur(D(0.00015)).dezmilesimos; }, 1, 0},
      {"CCur quarto de 0.0002", [] { return CCur(Produto(C(2), 0.25)).dezmilesimos; }, 0, 0},
      {"CCur texto exato 250.01", [] { return CCur(Variant::Str("250.01")).dezmilesimos; }, 2500100, 0},
      {"CCur texto 0.00005 par", [] { return CCur(Variant::Str("0.00005")).dezmilesimos; }, 0, 0},
      {"CCur texto 0.00015 par", [] { return CCur(Variant::Str("0.00015")).dezmilesimos; }, 2, 0},
      {"CCur máximo", [] { return CCur(Variant::Str("922337203685477.5807")).dezmilesimos; }, INT64_MAX, 0},
      {"CCur mínimo", [] { return CCur(Variant::Str("-922337203685477.5808")).dezmilesimos; }, INT64_MIN, 0},
      {"CCur além do máximo", [] { return CCur(Variant::Str("922337203685477.5808")).dezmilesimos; }, 0,
       kErroEstouro},
      {"CCur 1e300", [] { return CCur(D(1e300)).dezmilesimos; }, 0, kErroEstouro},
      {"CCur Nulo", [] { return CCur(Variant::Nulo()).dezmilesimos; }, 0, kErroNulo},
      {"CCur Vazio", [] { return CCur(Variant()).dezmilesimos; }, 0, 0},
      {"CCur texto", [] { return CCur(Variant::Str("abc")).dezmilesimos; }, 0, kErroTipos},
  };
  for (const Caso& c : casos) {
    int64_t obtido = 0;
    int erro = NumeroDoErro([&] { obtido = c.converte(); });
    EXPECT_EQ(erro, c.erro) << c.nome;
    if (!c.erro) {
      EXPECT_EQ(obtido, c.esperado) << c.nome;
    }
  }
}

TEST(Comparacoes, NuloDeQualquerLadoETiposMistos) {
  struct Caso {
    const char* nome;
    Tri obtido;
    Tri esperado;
  };
  const Tri V = Tri::Verdadeiro, F = Tri::Falso, N = Tri::Nulo;
  const Variant nulo = Variant::Nulo(), zero = Variant::Int(0);
  const Caso casos[] = {
      {"Nulo = 0", Igual(nulo, zero), N},
      {"0 = Nulo", Igual(zero, nulo), N},
      {"Nulo <> 0", Diferente(nulo, zero), N},
      {"Nulo > 0", Maior(nulo, zero), N},
      {"0 > Nulo", Maior(zero, nulo), N},
      {"Nulo < Nulo", Menor(nulo, nulo), N},
      {"Currency 0 = Integer 0", Igual(C(0), zero), V},
      {"Currency 250.01 > Double 250", Maior(C(2500100), D(250.0)), V},
      {"Currency 250 > Double 250 (igual)", Maior(C(2500000), D(250.0)), F},
      {"Currency 0.0001 > Long 0", Maior(C(1), Variant::Long(0)), V},
      {"Long -100 > 0", Maior(Variant::Long(-100), zero), F},
      {"Vazio = 0", Igual(Variant(), zero), V},
      {"Vazio = \"\"", Igual(Variant(), Variant::Str("")), V},
      {"texto exato, maiúsculas contam", Igual(Variant::Str("abc"), Variant::Str("ABC")), F},
      {"texto numérico contra número", Igual(Variant::Str("12"), Variant::Long(12)), V},
      {"E(F, Nulo) = F", E(F, N), F},
      {"E(V, Nulo) = Nulo", E(V, N), N},
      {"Ou(V, Nulo) = V", Ou(V, N), V},
      {"Ou(F, Nulo) = Nulo", Ou(F, N), N},
  };
  for (const Caso& c : casos) EXPECT_EQ(c.obtido, c.esperado) << c.nome;
  EXPECT_EQ(NumeroDoErro([] { Igual(Variant::Str("abc"), Variant::Long(1)); }), kErroTipos);
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
  struct Caso {
    int64_t unidades;
    const char* ptBR;
    const char* c;
  };
  const Caso casos[] = {
      {12345000, "1.234,50", "1,234.50"},
      {25005000, "2.500,50", "2,500.50"},
      {1500000, "150,00", "150.00"},
      {0, "0,00", "0.00"},
      {-40, "0,00", "0.00"},    // -0.004 rounds to zero: no minus sign
      {-50, "-0,01", "-0.01"},  // half away from zero
      {50, "0,01", "0.01"},
      {-12345000, "-1.234,50", "-1,234.50"},
      {10000000000, "1.000.000,00", "1,000,000.00"},
      {INT64_MAX, "922.337.203.685.477,58", "922,337,203,685,477.58"},
      {INT64_MIN, "-922.337.203.685.477,58", "-922,337,203,685,477.58"},
  };
  for (const Caso& x : casos) {
    EXPECT_EQ(FormataValor(Currency{x.unidades}, ".", ","), x.ptBR) << x.unidades;
    EXPECT_EQ(FormataValor(Currency{x.unidades}, ",", "."), x.c) << x.unidades;
  }
}

}  // namespace
}  // namespace kv
