// The number format "#,##0.00" under the user's regional settings.
#pragma once

#include <string>

#include "platform/variant.h"

namespace kv {

// Grouped by thousands, exactly two decimals rounded half away from zero, computed from the exact
// Currency value; separators from QLocale::system(); never a negative zero.
std::string FormataValor(Currency c);
// The same with explicit separators (tests and callers that fix the locale).
std::string FormataValor(Currency c, const std::string& milhar, const std::string& decimal);

}  // namespace kv
