#include "platform/variant.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "platform/erro.h"

namespace kv {

void ErroEstouro() {
  throw Erro(kErroEstouro, "Estouro");
}
void ErroTipos() {
  throw Erro(kErroTipos, "Tipos incompatíveis");
}
void ErroNulo() {
  throw Erro(kErroNulo, "Uso inválido de Nulo");
}
void ErroObjeto() {
  throw Erro(kErroObjeto, "Variável de objeto não definida");
}
void ErroSubscrito() {
  throw Erro(kErroSubscrito, "Subscrito fora do intervalo");
}

namespace {

constexpr int64_t kCurMax = std::numeric_limits<int64_t>::max();

// Numeric ranks for the "wider type" rule; Boolean counts as Integer.
int Rank(Variant::Tipo t) {
  switch (t) {
    case Variant::Tipo::Empty:
    case Variant::Tipo::Boolean:
    case Variant::Tipo::Byte:
      return 1;
    case Variant::Tipo::Integer:
      return 2;
    case Variant::Tipo::Long:
      return 3;
    case Variant::Tipo::Currency:
      return 4;
    case Variant::Tipo::Double:
      return 5;
    default:
      return 0;
  }
}

// A string taking part in arithmetic or a numeric comparison becomes a Double, or Type mismatch.
double NumeroDeTexto(const std::string& s) {
  double d = 0;
  if (!ParseNumero(s, d)) ErroTipos();
  return d;
}

double ComoDouble(const Variant& v) {
  switch (v.tipo()) {
    case Variant::Tipo::Double:
      return v.AsDouble();
    case Variant::Tipo::Currency:
      return v.AsCurrency().ToDouble();
    case Variant::Tipo::String:
      return NumeroDeTexto(v.AsString());
    case Variant::Tipo::Empty:
      return 0;
    default:
      return static_cast<double>(v.AsInt());
  }
}

// Integer-like and Currency values as ten-thousandths (exact for every integer type).
int64_t ComoUnidades(const Variant& v) {
  if (v.tipo() == Variant::Tipo::Currency) return v.AsCurrency().dezmilesimos;
  return v.AsInt() * 10000;
}

int Sinal(double a, double b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}
int Sinal(int64_t a, int64_t b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}

// How two values of different kinds meet in arithmetic and comparison: text or a Double makes it a
// Double; otherwise a Currency makes it a Currency; otherwise it stays whole.
bool AmbasCurrency(const Variant& a, const Variant& b) {
  return a.tipo() == Variant::Tipo::Currency && b.tipo() == Variant::Tipo::Currency;
}
bool ComoDoubles(const Variant& a, const Variant& b) {
  auto flutua = [](const Variant& v) { return v.IsString() || v.tipo() == Variant::Tipo::Double; };
  return flutua(a) || flutua(b);
}
bool ComoCurrency(const Variant& a, const Variant& b) {
  return a.tipo() == Variant::Tipo::Currency || b.tipo() == Variant::Tipo::Currency;
}

// -2 stands for Null.
int Compara(const Variant& a, const Variant& b) {
  if (AmbasCurrency(a, b)) return Sinal(a.AsInt(), b.AsInt());
  if (a.IsNull() || b.IsNull()) return -2;
  if (a.IsString() && b.IsString()) {
    int c = a.AsString().compare(b.AsString());
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  if (a.IsString() && b.IsEmpty()) return a.AsString().empty() ? 0 : 1;
  if (a.IsEmpty() && b.IsString()) return b.AsString().empty() ? 0 : -1;
  if (ComoDoubles(a, b)) return Sinal(ComoDouble(a), ComoDouble(b));
  if (ComoCurrency(a, b)) return Sinal(ComoUnidades(a), ComoUnidades(b));
  return Sinal(a.AsInt(), b.AsInt());
}

Tri DeBool(bool b) {
  return b ? Tri::Verdadeiro : Tri::Falso;
}

// Rounds half to even; the default floating-point environment rounds to nearest, ties to even.
double ArredondaPar(double d) {
  return std::nearbyint(d);
}

int64_t InteiroArredondado(const Variant& v) {
  switch (v.tipo()) {
    case Variant::Tipo::Null:
      ErroNulo();
    case Variant::Tipo::Empty:
      return 0;
    case Variant::Tipo::Currency: {
      int64_t u = v.AsCurrency().dezmilesimos;
      int64_t q = u / 10000, r = u % 10000;
      if (r > 5000 || (r == 5000 && (q % 2 != 0))) ++q;
      if (r < -5000 || (r == -5000 && (q % 2 != 0))) --q;
      return q;
    }
    case Variant::Tipo::Double:
    case Variant::Tipo::String: {
      double d = ArredondaPar(ComoDouble(v));
      if (!std::isfinite(d) || d > 9.0e18 || d < -9.0e18) ErroEstouro();
      return static_cast<int64_t>(d);
    }
    default:
      return v.AsInt();
  }
}

int64_t NoIntervalo(int64_t x, int64_t lo, int64_t hi) {
  if (x < lo || x > hi) ErroEstouro();
  return x;
}

}  // namespace

Currency operator+(Currency a, Currency b) {
  int64_t r;
  if (__builtin_add_overflow(a.dezmilesimos, b.dezmilesimos, &r)) ErroEstouro();
  return Currency{r};
}

Tri E(Tri a, Tri b) {
  if (a == Tri::Falso || b == Tri::Falso) return Tri::Falso;
  if (a == Tri::Nulo || b == Tri::Nulo) return Tri::Nulo;
  return Tri::Verdadeiro;
}

Tri Ou(Tri a, Tri b) {
  if (a == Tri::Verdadeiro || b == Tri::Verdadeiro) return Tri::Verdadeiro;
  if (a == Tri::Nulo || b == Tri::Nulo) return Tri::Nulo;
  return Tri::Falso;
}

Variant Variant::Bool(bool b) {
  Variant v(Tipo::Boolean);
  v.i_ = b ? -1 : 0;
  return v;
}
Variant Variant::Byte(uint8_t x) {
  Variant v(Tipo::Byte);
  v.i_ = x;
  return v;
}
Variant Variant::Int(int16_t x) {
  Variant v(Tipo::Integer);
  v.i_ = x;
  return v;
}
Variant Variant::Long(int32_t x) {
  Variant v(Tipo::Long);
  v.i_ = x;
  return v;
}
Variant Variant::Cur(Currency c) {
  Variant v(Tipo::Currency);
  v.i_ = c.dezmilesimos;
  return v;
}
Variant Variant::Dbl(double d) {
  Variant v(Tipo::Double);
  v.d_ = d;
  return v;
}
Variant Variant::Str(std::string s) {
  Variant v(Tipo::String);
  v.s_ = std::move(s);
  return v;
}

bool Variant::IsNumeric() const {
  return Rank(tipo_) > 0 && tipo_ != Tipo::Empty;
}

Tri Igual(const Variant& a, const Variant& b) {
  int c = Compara(a, b);
  return c == -2 ? Tri::Nulo : DeBool(c == 0);
}
Tri Diferente(const Variant& a, const Variant& b) {
  int c = Compara(a, b);
  return c == -2 ? Tri::Nulo : DeBool(c != 0);
}
Tri Maior(const Variant& a, const Variant& b) {
  int c = Compara(a, b);
  return c == -2 ? Tri::Nulo : DeBool(c == 1);
}
Tri Menor(const Variant& a, const Variant& b) {
  int c = Compara(a, b);
  return c == -2 ? Tri::Nulo : DeBool(c == -1);
}

namespace {

// Integer types: the wider of the two, promoted one step when the sum does not fit.
Variant SomaInteira(const Variant& a, const Variant& b) {
  int64_t s = a.AsInt() + b.AsInt();
  int r = std::max(Rank(a.tipo()), Rank(b.tipo()));
  const bool bytes = a.tipo() == Variant::Tipo::Byte && b.tipo() == Variant::Tipo::Byte;
  if (bytes && s >= 0 && s <= 255) return Variant::Byte(static_cast<uint8_t>(s));
  if (r <= 2 && s >= INT16_MIN && s <= INT16_MAX) return Variant::Int(static_cast<int16_t>(s));
  if (s >= INT32_MIN && s <= INT32_MAX) return Variant::Long(static_cast<int32_t>(s));
  return Variant::Dbl(static_cast<double>(s));
}

}  // namespace

Variant Soma(const Variant& a, const Variant& b) {
  // Two amounts, what the rules add most, first.
  if (AmbasCurrency(a, b)) return Variant::Cur(a.AsCurrency() + b.AsCurrency());
  if (a.IsNull() || b.IsNull()) return Variant::Nulo();
  if (a.IsString() && b.IsString()) return Variant::Str(a.AsString() + b.AsString());
  if (a.IsEmpty() && b.IsEmpty()) return Variant::Int(0);
  if (ComoDoubles(a, b)) return Variant::Dbl(ComoDouble(a) + ComoDouble(b));
  if (ComoCurrency(a, b)) return Variant::Cur(Currency{ComoUnidades(a)} + Currency{ComoUnidades(b)});
  return SomaInteira(a, b);
}

Variant Produto(const Variant& a, double fator) {
  if (a.IsNull()) return Variant::Nulo();
  return Variant::Dbl(ComoDouble(a) * fator);
}

Currency CurrencyDeDouble(double d) {
  if (!std::isfinite(d)) ErroEstouro();
  double r = ArredondaPar(d * 10000.0);
  // 2^63 is exactly representable; anything at or beyond it does not fit.
  if (r >= 9223372036854775808.0 || r < -9223372036854775808.0) ErroEstouro();
  return Currency{static_cast<int64_t>(r)};
}

bool CurrencyCabeEmDouble(Currency c) {
  const int64_t limite = int64_t{1} << 53;
  return c.dezmilesimos > -limite && c.dezmilesimos < limite && CurrencyDeDouble(c.ToDouble()) == c;
}

namespace {
// The digits of a plain decimal text ("250.01"): the value in ten-thousandths so far, how many decimals it
// had (at most four count; -1 without a point), the fifth decimal digit and whether any digit after it
// is not zero, for the rounding.
struct Decimais {
  uint64_t unidades = 0;
  int decimais = -1, digitos = 0, quinto = -1;
  bool resto = false;
};

// False when the text is not digits with at most one point, or too long to be a Currency (the double path
// then reports Overflow).
bool LeDecimais(std::string_view t, Decimais& d) {
  for (char c : t) {
    if (c == '.') {
      if (d.decimais >= 0) return false;
      d.decimais = 0;
      continue;
    }
    if (c < '0' || c > '9') return false;
    ++d.digitos;
    if (d.decimais == 4) {
      if (d.quinto < 0)
        d.quinto = c - '0';
      else
        d.resto = d.resto || c != '0';
      continue;
    }
    if (d.decimais >= 0) ++d.decimais;
    if (d.unidades > (UINT64_MAX - 9) / 10) return false;
    d.unidades = d.unidades * 10 + static_cast<uint64_t>(c - '0');
  }
  return d.digitos > 0;
}

std::string_view SemBrancos(std::string_view t) {
  while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
  while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
  return t;
}

// Exact decimal text to Currency ("250.01" must not pass through a binary double); false if not plain.
bool CurrencyDeTextoExato(std::string_view t, Currency& out) {
  t = SemBrancos(t);
  const bool neg = !t.empty() && t.front() == '-';
  if (!t.empty() && (t.front() == '-' || t.front() == '+')) t.remove_prefix(1);
  Decimais d;
  if (t.empty() || !LeDecimais(t, d)) return false;
  uint64_t units = d.unidades;
  for (int n = d.decimais < 0 ? 0 : d.decimais; n < 4; ++n)
    if (__builtin_mul_overflow(units, 10u, &units)) ErroEstouro();
  if (d.quinto > 5 || (d.quinto == 5 && (d.resto || units % 2 != 0))) ++units;
  const uint64_t limite = neg ? static_cast<uint64_t>(kCurMax) + 1 : static_cast<uint64_t>(kCurMax);
  if (units > limite) ErroEstouro();
  out = Currency{neg ? static_cast<int64_t>(0 - units) : static_cast<int64_t>(units)};
  return true;
}
}  // namespace

Currency CCur(const Variant& v) {
  switch (v.tipo()) {
    case Variant::Tipo::Null:
      ErroNulo();
    case Variant::Tipo::Empty:
      return Currency{0};
    case Variant::Tipo::Double:
      return CurrencyDeDouble(v.AsDouble());
    case Variant::Tipo::String: {
      Currency c;
      if (CurrencyDeTextoExato(v.AsString(), c)) return c;
      return CurrencyDeDouble(NumeroDeTexto(v.AsString()));
    }
    default:
      return Currency{ComoUnidades(v)};
  }
}

uint8_t CByte(const Variant& v) {
  return static_cast<uint8_t>(NoIntervalo(InteiroArredondado(v), 0, 255));
}
int16_t CInt(const Variant& v) {
  return static_cast<int16_t>(NoIntervalo(InteiroArredondado(v), INT16_MIN, INT16_MAX));
}
int32_t CLng(const Variant& v) {
  return static_cast<int32_t>(NoIntervalo(InteiroArredondado(v), INT32_MIN, INT32_MAX));
}

double CDbl(const Variant& v) {
  if (v.IsNull()) ErroNulo();
  return ComoDouble(v);
}

bool CBool(const Variant& v) {
  if (v.IsNull()) ErroNulo();
  if (v.IsString()) return NumeroDeTexto(v.AsString()) != 0;
  return ComoDouble(v) != 0;
}

std::string CurrencyTexto(Currency c) {
  int64_t u = c.dezmilesimos;
  bool neg = u < 0;
  uint64_t a = neg ? 0 - static_cast<uint64_t>(u) : static_cast<uint64_t>(u);
  std::string s = std::to_string(a / 10000);
  uint64_t frac = a % 10000;
  if (frac != 0) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04u", static_cast<unsigned>(frac));
    std::string f(buf);
    while (!f.empty() && f.back() == '0') f.pop_back();
    s += "." + f;
  }
  return neg ? "-" + s : s;
}

std::string CStr(const Variant& v) {
  switch (v.tipo()) {
    case Variant::Tipo::Null:
      ErroNulo();
    case Variant::Tipo::Empty:
      return "";
    case Variant::Tipo::Boolean:
      return v.AsBool() ? "Verdadeiro" : "Falso";
    case Variant::Tipo::Currency:
      return CurrencyTexto(v.AsCurrency());
    case Variant::Tipo::Double: {
      // 15 significant digits as the host printed them, with a point whatever the C locale says: this
      // text goes into SQL and into the text the key seals.
      char buf[40];
      auto r = std::to_chars(buf, buf + sizeof buf, v.AsDouble(), std::chars_format::general, 15);
      return std::string(buf, r.ptr);
    }
    case Variant::Tipo::String:
      return v.AsString();
    default:
      return std::to_string(v.AsInt());
  }
}

std::string TextoDe(const Variant& v) {
  return v.IsNull() ? std::string() : CStr(v);
}

bool ParseNumero(std::string_view t, double& valor) {
  while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
  while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
  if (!t.empty() && t.front() == '+') t.remove_prefix(1);
  if (t.empty()) return false;
  const char* fim = t.data() + t.size();
  auto [p, ec] = std::from_chars(t.data(), fim, valor, std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    valor = (t.front() == '-') ? -HUGE_VAL : HUGE_VAL;
    return true;
  }
  return ec == std::errc() && p == fim && std::isfinite(valor);
}

}  // namespace kv
