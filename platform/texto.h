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

// SQL text literal: apostrophes doubled, so no value can leave the quotes.
std::string Apostrofado(std::string_view s);

}  // namespace kv
