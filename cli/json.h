// A small JSON writer: the command line's machine-readable output.
#include <string>
#include <string_view>
#pragma once

namespace kv::cli {

// The text as a JSON string literal: UTF-8 kept as it is, invalid bytes replaced by U+FFFD.
std::string JsonTexto(std::string_view s);

}  // namespace kv::cli
