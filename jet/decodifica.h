// Decoding Jet values from their bytes: text in either of Jet's encodings, dates in Jet's day count.
#pragma once

#include <cstddef>
#include <string>

namespace kv::jet {

// Jet text as UTF-8: code page 1252 for Jet 3, UTF-16 (compressed or not) for later versions. Reads
// exactly `n` bytes at `p`.
std::string TextoJet(const unsigned char* p, size_t n, bool unicode);

// Jet's date (days since 1899-12-30, the fraction the time of day) as "YYYY-MM-DD HH:MM:SS".
std::string DataIso(double dias);

}  // namespace kv::jet
