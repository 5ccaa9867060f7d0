#include "rules/frame/quadro.h"

#include <cstdio>
#include <optional>

#include "platform/erro.h"
#include "platform/formato.h"
#include "platform/texto.h"

namespace kv {
namespace {

bool InteiroTexto(const std::string& s) {
  size_t i = (!s.empty() && s[0] == '-') ? 1 : 0;
  if (i == s.size() || s.size() - i > 18) return false;
  for (; i < s.size(); ++i)
    if (s[i] < '0' || s[i] > '9') return false;
  return true;
}

std::string Aparado(std::string s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.erase(s.begin());
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
  return s;
}

// Integral values of any numeric type, or a text of digits; everything else is refused.
bool TextoInteiro(const Variant& v, std::string& out) {
  switch (v.tipo()) {
    case Variant::Tipo::Byte:
    case Variant::Tipo::Integer:
    case Variant::Tipo::Long:
      out = std::to_string(v.AsInt());
      return true;
    case Variant::Tipo::Currency:
      if (v.AsCurrency().dezmilesimos % 10000 != 0) return false;
      out = std::to_string(v.AsCurrency().dezmilesimos / 10000);
      return true;
    case Variant::Tipo::Double: {
      double d = v.AsDouble();
      if (!(d >= -9.0e15 && d <= 9.0e15) || d != static_cast<double>(static_cast<long long>(d))) return false;
      out = std::to_string(static_cast<long long>(d));
      return true;
    }
    case Variant::Tipo::String:
      out = Aparado(v.AsString());
      return InteiroTexto(out);
    default:
      return false;
  }
}

std::string Descreve(const Variant& v) {
  if (v.IsNull()) return "Nulo";
  if (v.IsEmpty()) return "vazio";
  return "\"" + TextoDe(v) + "\"";
}

}  // namespace

std::string NumeroDaDeclaracao(const Variant& v) {
  std::string s;
  if (!TextoInteiro(v, s))
    throw Erro(kErroTipos, "Número de declaração inválido: " + Descreve(v) + " (deve ser um número inteiro)");
  return s;
}

std::string NumeroParaSql(const Variant& valor, const char* oque) {
  if (valor.IsNull()) ErroNulo();
  std::string s;
  if (TextoInteiro(valor, s)) return s;
  // Any other number is safe in SQL as it prints; a text must be a plain decimal number.
  if (valor.IsNumeric()) return CStr(valor);
  if (valor.IsString()) {
    s = Aparado(valor.AsString());
    size_t p = s.find('.');
    if (p != std::string::npos && InteiroTexto(s.substr(0, p)) && p + 1 < s.size() &&
        s.find_first_not_of("0123456789", p + 1) == std::string::npos)
      return s;
  }
  throw Erro(kErroTipos, std::string("Valor inválido para ") + oque + ": " + Descreve(valor) +
                             " (deve ser um número inteiro)");
}

namespace {

// The value as a Currency, when it is one or converts to one.
std::optional<Currency> EmMoeda(const Variant& v) {
  if (v.IsNull() || v.IsEmpty()) return std::nullopt;
  try {
    return CCur(v);
  } catch (const Erro&) {
    return std::nullopt;
  }
}

}  // namespace

std::string Decimal(const Variant& v) {
  const std::optional<Currency> c = EmMoeda(v);
  return c ? FormataValor(*c, "", ".") : ComoGravado(v);
}

std::string Reais(const Variant& v) {
  const std::optional<Currency> c = EmMoeda(v);
  return c ? "R$ " + FormataValor(*c) : ComoGravado(v);
}

Variant Diferenca(const Variant& a, const Variant& b) {
  const std::optional<Currency> x = EmMoeda(a), y = EmMoeda(b);
  if (x && y) {
    try {
      return Variant::Cur(*x + Currency{-y->dezmilesimos});
    } catch (const Erro&) {
      // beyond Currency's range: the Doubles below
    }
  }
  if (!a.IsNumeric() || !b.IsNumeric()) return Variant::Nulo();
  return Variant::Dbl(CDbl(a) - CDbl(b));
}

std::string Parcela(const Variant& parte, const Variant& todo) {
  if (!parte.IsNumeric() || !todo.IsNumeric()) return "";
  const std::optional<Currency> p = EmMoeda(parte), t = EmMoeda(todo);
  const bool exatos = p && t;  // the ratio of the exact counts, as the finding compared them
  const double x = exatos ? static_cast<double>(p->dezmilesimos) : CDbl(parte);
  const double y = exatos ? static_cast<double>(t->dezmilesimos) : CDbl(todo);
  if (y == 0) return "";
  char texto[64];
  std::snprintf(texto, sizeof texto, "%.4f", x / y);
  return texto;
}

std::string ComoGravado(const Variant& v) {
  if (v.IsNull()) return "(Nulo)";
  const std::string t = TextoDe(v);
  return t.empty() ? "(vazio)" : t;
}

int16_t ImagemPadrao() {
  return 3;
}
std::string ImagemPadraoTexto() {
  return std::to_string(ImagemPadrao());
}

}  // namespace kv
