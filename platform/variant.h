// Variant values with Null, Currency and three-valued logic, as the host's language had them.
// Every rule decides through these semantics, so they live in one place.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/exporta.h"

KV_PUBLICO_INICIO

namespace kv {

// A signed count of ten-thousandths; arithmetic is exact and checked against the 64-bit range.
struct Currency {
  int64_t dezmilesimos = 0;
  static Currency FromUnits(int64_t u) { return Currency{u}; }
  double ToDouble() const { return static_cast<double>(dezmilesimos) / 10000.0; }
  friend bool operator==(Currency a, Currency b) { return a.dezmilesimos == b.dezmilesimos; }
};

Currency operator+(Currency a, Currency b);  // raises Overflow outside the range

// Three-valued truth: the result of a comparison or a logical operator when Null may take part.
enum class Tri { Falso, Verdadeiro, Nulo };
Tri E(Tri a, Tri b);
Tri Ou(Tri a, Tri b);
// Where the code branches, Null counts as false.
inline bool Verdade(Tri t) {
  return t == Tri::Verdadeiro;
}

class Variant {
 public:
  enum class Tipo { Empty, Null, Boolean, Byte, Integer, Long, Currency, Double, String };

  Variant() = default;
  static Variant Nulo() { return Variant(Tipo::Null); }
  static Variant Bool(bool b);
  static Variant Byte(uint8_t v);
  static Variant Int(int16_t v);
  static Variant Long(int32_t v);
  static Variant Cur(Currency c);
  static Variant Dbl(double d);
  static Variant Str(std::string s);

  Tipo tipo() const { return tipo_; }
  bool IsNull() const { return tipo_ == Tipo::Null; }
  bool IsEmpty() const { return tipo_ == Tipo::Empty; }
  bool IsNumeric() const;
  bool IsString() const { return tipo_ == Tipo::String; }

  // Raw access for callers that already know the type.
  bool AsBool() const { return i_ != 0; }
  int64_t AsInt() const { return i_; }
  Currency AsCurrency() const { return Currency{i_}; }
  double AsDouble() const { return d_; }
  const std::string& AsString() const { return s_; }

 private:
  explicit Variant(Tipo t) : tipo_(t) {}
  Tipo tipo_ = Tipo::Empty;
  int64_t i_ = 0;  // Boolean (-1/0), Byte, Integer, Long, Currency units
  double d_ = 0;
  std::string s_;
};

// Comparisons: Null on either side gives Null; numbers compare in the wider type; strings byte for byte.
Tri Igual(const Variant& a, const Variant& b);
Tri Diferente(const Variant& a, const Variant& b);
Tri Maior(const Variant& a, const Variant& b);
Tri Menor(const Variant& a, const Variant& b);

// Arithmetic: Null propagates; Currency + Currency is exact; anything times a Double is a Double.
Variant Soma(const Variant& a, const Variant& b);
Variant Produto(const Variant& a, double fator);

// Conversions: nearest value, half to even; Overflow out of range; Invalid use of Null for Null.
Currency CCur(const Variant& v);
uint8_t CByte(const Variant& v);
int16_t CInt(const Variant& v);
int32_t CLng(const Variant& v);
double CDbl(const Variant& v);
bool CBool(const Variant& v);
std::string CStr(const Variant& v);  // Null raises Invalid use of Null
// Text concatenation operand: Null is "".
std::string TextoDe(const Variant& v);

// A Double becomes Currency as the host did: times 10,000 in double arithmetic, then rounded half to even.
Currency CurrencyDeDouble(double d);
// Whether the Double nearest to the amount converts back to exactly it (so a Double may store it).
bool CurrencyCabeEmDouble(Currency c);
// Decimal text of a Currency, shortest form ("12.5", "-3", "0.0001"), with a point.
std::string CurrencyTexto(Currency c);
// Parses a number written with a point or comma decimal; returns false when the text is not a number.
bool ParseNumero(std::string_view texto, double& valor);

}  // namespace kv

KV_PUBLICO_FIM
