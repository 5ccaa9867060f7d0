#include "platform/formato.h"

#include <QLocale>

namespace kv {

std::string FormataValor(Currency c, const std::string& milhar, const std::string& decimal) {
  int64_t u = c.dezmilesimos;
  bool neg = u < 0;
  // Work in unsigned arithmetic so that the most negative value has a magnitude too.
  uint64_t a = neg ? 0 - static_cast<uint64_t>(u) : static_cast<uint64_t>(u);
  uint64_t centavos = (a + 50) / 100;  // half away from zero
  if (centavos == 0) neg = false;
  std::string inteiros = std::to_string(static_cast<unsigned long long>(centavos / 100));
  unsigned resto = static_cast<unsigned>(centavos % 100);
  std::string agrupado;
  int n = static_cast<int>(inteiros.size());
  for (int i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) agrupado += milhar;
    agrupado += inteiros[i];
  }
  std::string r = neg ? "-" : "";
  r += agrupado + decimal;
  r += static_cast<char>('0' + resto / 10);
  r += static_cast<char>('0' + resto % 10);
  return r;
}

std::string FormataValor(Currency c) {
  // QLocale::system() reads LC_NUMERIC/LANG; built once per thread, it is costly to make.
  thread_local const QLocale local = QLocale::system();
  thread_local const std::string milhar = QString(local.groupSeparator()).toStdString();
  thread_local const std::string decimal = QString(local.decimalPoint()).toStdString();
  return FormataValor(c, milhar, decimal);
}

}  // namespace kv
