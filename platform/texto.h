// Text helpers that count characters, not bytes, as the host's language did.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kv {

inline constexpr std::string_view kCrLf = "\r\n";

// Every piece of `texto` split on `sep`, compared exactly; blanks outside separators stay.
std::vector<std::string> Divide(std::string_view texto, std::string_view sep);

size_t Caracteres(std::string_view s);                          // number of UTF-8 characters
std::string Esquerda(std::string_view s, size_t n);             // first n characters
std::string Direita(std::string_view s, size_t n);              // last n characters
std::string Meio(std::string_view s, size_t inicio, size_t n);  // n characters from position inicio (1-based)
std::string MeioAteFim(std::string_view s, size_t inicio);      // from position inicio (1-based) to the end

// Text from data as a terminal may show it: control characters (C0, DEL, C1, NUL included) and the
// bidirectional controls become visible escapes ("\x1b", "\u202e") and bytes that are not UTF-8 become
// "\xNN", so no stored text can move the cursor, clear the screen or reorder the line. Nothing is cut.
// With `quebras`, line breaks and tabs stay as they are (multi-line messages; CR LF becomes LF, a lone CR
// that would rewrite the line is escaped); otherwise they are escaped too.
std::string TextoVisivel(std::string_view s, bool quebras = false);

// The well-formed UTF-8 character at s[i]: its length (1 to 4) and, in `cp`, its code point; 0 when the
// bytes there are not one (a stray continuation, an overlong form, a surrogate, a cut sequence).
size_t LeCaractere(std::string_view s, size_t i, char32_t& cp);
// Whether a terminal would act on the character instead of showing it: C0 controls, DEL, C1 controls and
// the bidirectional controls.
bool Invisivel(char32_t cp);

// Valid UTF-8: every byte that does not belong to a well-formed character becomes U+FFFD.
std::string Utf8Valido(std::string_view s);

// A value quoted in a message: whole up to `maximo` characters; longer, its first `maximo` characters,
// "…" and its length ("…(52428800 bytes)"), so a huge setting or argument cannot flood the screen.
std::string Resumido(std::string_view s, size_t maximo = 200);

// SQL text literal: apostrophes doubled, so no value can leave the quotes.
std::string Apostrofado(std::string_view s);

// The text in lower case, accented letters included ("Março" is "março").
std::string Minusculas(const std::string& s);

}  // namespace kv
