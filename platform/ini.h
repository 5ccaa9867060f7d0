// The host's INI settings file, read and edited without reformatting it: values are taken raw (no escapes),
// and a write changes one line and keeps every other byte (comments, order, line ends, other sections).
#pragma once

#include <map>
#include <optional>
#include <string>

namespace kv {

// A parsed file: values by section and key, both matched without regard to ASCII case.
class Ini {
 public:
  // Parses `texto`. A line that is not blank, a comment (';' or '#'), "[section]" (anything after the
  // bracket ignored) or "key=value" raises Erro naming `arquivo` and the line number. One pair of matching
  // quotes around a value is taken off, as the platform's profile reader does.
  Ini(const std::string& texto, const std::string& arquivo);
  std::optional<std::string> Valor(const std::string& secao, const std::string& chave) const;

 private:
  std::map<std::string, std::string> valores_;
};

// `texto` with `chave` of `secao` set to `valor`: its own line replaced, or a line added at the end of the
// section, or the section added at the end of the file. Line ends follow the file's own. A value that
// starts and ends with the same quote is written inside one more pair, so it reads back as it was.
std::string EditaIni(const std::string& texto, const std::string& secao, const std::string& chave,
                     const std::string& valor);

}  // namespace kv
