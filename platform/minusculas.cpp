// Apart from texto.cpp, which the Jet reader's program also uses: this alone needs Qt, which that
// program then does not load for every file it reads.
#include <QString>

#include "platform/texto.h"

namespace kv {

std::string Minusculas(const std::string& s) {
  return QString::fromStdString(s).toLower().toStdString();
}

}  // namespace kv
