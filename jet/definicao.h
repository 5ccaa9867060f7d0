// A Jet table definition read from its own pages and checked against the column count libmdb trusts.
#pragma once

#include <cstdint>
#include <string>
// After the C++ headers: mdbtools.h opens an extern "C" block around glib, which includes some of them.
#include <mdbtools.h>

namespace kv::jet {

// Jet's numbers are little-endian.
inline uint32_t U32(const unsigned char* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
inline unsigned U16(const unsigned char* p) {
  return unsigned{p[0]} | unsigned{p[1]} << 8;
}

// Reads the definition that starts on `pagina` and raises Parada ("… (arquivo danificado)") when its
// parts disagree with each other or with the length it records. Returns the most columns a row of the
// table may hold.
unsigned ConfereDefinicao(MdbHandle* mdb, unsigned long pagina);

}  // namespace kv::jet
