// The one way the command line's text reaches a person: written whole (a NUL inside a stored text shows
// as "\x00" instead of ending the report) and with every control or bidirectional character that came
// from the data made visible, so no database can clear the screen, move the cursor or reorder a line.
#pragma once

#include <cstdio>
#include <string_view>

namespace kv::cli {

// Text for people: line breaks and tabs kept, everything else made visible (TextoVisivel).
void Escreve(std::FILE* f, std::string_view texto);
// Machine-readable text that is already safe (JSON): written whole, as it is.
void EscreveCru(std::FILE* f, std::string_view texto);

}  // namespace kv::cli
