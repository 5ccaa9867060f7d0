// Jet's text and dates as this program writes them: pure functions of the bytes a value occupies.
#include "jet/decodifica.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace kv::jet {
namespace {

// Windows-1252, the code page of Jet 3 text, for the bytes 0x80 to 0x9F (the rest is Latin-1).
constexpr char16_t kCp1252[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                  0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

// UTF-8 of UTF-16 code units, an unpaired surrogate as '?'. Written here rather than through QString
// (which gives the same bytes) so that the reader's program, which decodes all text, need not load Qt:
// that took a third off the time to start it.
std::string Utf8(const std::u16string& u) {
  std::string r;
  r.reserve(u.size());
  for (size_t i = 0; i < u.size(); ++i) {
    char32_t c = u[i];
    if (c >= 0xD800 && c <= 0xDFFF) {
      const bool par = c <= 0xDBFF && i + 1 < u.size() && u[i + 1] >= 0xDC00 && u[i + 1] <= 0xDFFF;
      c = par ? 0x10000 + ((c - 0xD800) << 10) + (u[++i] - 0xDC00) : U'?';
    }
    if (c < 0x80) {
      r += static_cast<char>(c);
      continue;
    }
    constexpr unsigned char kPrimeiro[] = {0, 0xC0, 0xE0, 0xF0};  // by the number of bytes that follow
    const int continuacoes = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    r += static_cast<char>(kPrimeiro[continuacoes] | (c >> (6 * continuacoes)));
    for (int k = continuacoes - 1; k >= 0; --k) r += static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F));
  }
  return r;
}

}  // namespace

std::string TextoJet(const unsigned char* p, size_t n, bool unicode) {
  std::u16string u;
  if (!unicode) {
    for (size_t i = 0; i < n; ++i) u += p[i] >= 0x80 && p[i] < 0xA0 ? kCp1252[p[i] - 0x80] : char16_t(p[i]);
  } else if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
    // Unicode compression: one byte per character (high byte 0) until a 0 byte switches to two, and back.
    bool comprimido = true;
    for (size_t i = 2; i < n;) {
      if (p[i] == 0) {
        comprimido = !comprimido;
        ++i;
      } else if (comprimido) {
        u += char16_t(p[i++]);
      } else if (i + 1 < n) {
        u += char16_t(p[i] | (p[i + 1] << 8));
        i += 2;
      } else {
        break;
      }
    }
  } else {
    for (size_t i = 0; i + 1 < n; i += 2) u += char16_t(p[i] | (p[i + 1] << 8));
  }
  // Built from the code units as they are: a leading byte-order mark is text too, not a marker.
  return Utf8(u);
}

std::string DataIso(double dias) {
  double inteiro = std::trunc(dias);
  long long segundos = std::llround(std::fabs(dias - inteiro) * 86400.0);
  long long dia = static_cast<long long>(inteiro) + segundos / 86400;
  segundos %= 86400;
  // Days from 1899-12-30 to a civil date, proleptic Gregorian (H. Hinnant's algorithm).
  long long z = dia - 25569 + 719468;  // 1899-12-30 is 25569 days before 1970-01-01
  long long era = (z >= 0 ? z : z - 146096) / 146097;
  long long doe = z - era * 146097;
  long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long long y = yoe + era * 400, doy = doe - (365 * yoe + yoe / 4 - yoe / 100), mp = (5 * doy + 2) / 153;
  long long d = doy - (153 * mp + 2) / 5 + 1, m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
  char texto[160];
  std::snprintf(texto, sizeof texto, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld", y, m, d, segundos / 3600,
                segundos / 60 % 60, segundos % 60);
  return texto;
}

long long Moeda(const unsigned char* p) {
  uint64_t u = 0;
  for (int k = 7; k >= 0; --k) u = (u << 8) | p[k];
  return static_cast<long long>(u);
}

double Duplo(const unsigned char* p) {
  double d = 0;
  std::memcpy(&d, p, sizeof d);
  return d;
}

double DuploDoSimples(const unsigned char* p) {
  float s = 0;
  std::memcpy(&s, p, sizeof s);
  char texto[32];
  const auto r = std::to_chars(texto, texto + sizeof texto, s);
  double d = 0;
  std::from_chars(texto, r.ptr, d);
  return d;
}

}  // namespace kv::jet
