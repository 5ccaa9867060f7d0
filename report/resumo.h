// A portfolio run's summary for people and for programs.
#pragma once

#include <string>

#include "portfolio/carteira.h"

namespace kv {

// The counts; over a portfolio (`carteira` given) also the files, those with problems and each kind of
// finding by count, else the findings by group.
std::string TextoDoResumo(const ResumoDaCarteira& resumo, const Carteira* carteira);
// {"resumo": {...}}: the same as one JSON object.
std::string JsonDoResumo(const ResumoDaCarteira& resumo, const Carteira* carteira);

}  // namespace kv
