// Decoding Jet values from their bytes: little-endian numbers, text in either of Jet's encodings, dates
// in Jet's day count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kv::jet {

// Jet's numbers are little-endian.
inline uint32_t U32(const unsigned char* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
inline unsigned U16(const unsigned char* p) {
  return unsigned{p[0]} | unsigned{p[1]} << 8;
}
// A Currency's eight bytes, in ten-thousandths.
long long Moeda(const unsigned char* p);
double Duplo(const unsigned char* p);
// A Single becomes the Double of its shortest text, so 0.15 stays 0.15.
double DuploDoSimples(const unsigned char* p);

// Jet text as UTF-8: code page 1252 for Jet 3, UTF-16 (compressed or not) for later versions. Reads
// exactly `n` bytes at `p`.
std::string TextoJet(const unsigned char* p, size_t n, bool unicode);

// Jet's date (days since 1899-12-30, the fraction the time of day) as "YYYY-MM-DD HH:MM:SS".
std::string DataIso(double dias);

}  // namespace kv::jet
