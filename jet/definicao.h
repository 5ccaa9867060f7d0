// A Jet table definition read from its own pages and checked against the column count libmdb trusts.
#pragma once

#include <cstdint>
#include <string>
// After the C++ headers: mdbtools.h opens an extern "C" block around glib, which includes some of them.
#include <mdbtools.h>

namespace kv::jet {

// Reads the definition that starts on `pagina` and raises Parada ("… (arquivo danificado)") when its
// parts disagree with each other or with the length it records. Returns the most columns a row of the
// table may hold.
unsigned ConfereDefinicao(MdbHandle* mdb, unsigned long pagina);

}  // namespace kv::jet
