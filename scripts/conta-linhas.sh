#!/usr/bin/env bash
# Counts the project's lines of code as its README quotes them: non-blank lines that are not only a
# comment, in the tracked C++, CMake and shell files; tests/ (suites, helpers, fuzz targets, scripts)
# against everything else, bench/ included.
set -euo pipefail
cd "$(dirname "$0")/.."

conta() {
  local total=0 n arquivo
  while IFS= read -r arquivo; do
    case $arquivo in
      *.cpp | *.h) n=$(grep -cvE '^[[:space:]]*(//.*)?$' "$arquivo" || true) ;;
      *) n=$(grep -cvE '^[[:space:]]*(#.*)?$' "$arquivo" || true) ;;
    esac
    total=$((total + n))
  done
  echo "$total"
}

fontes() { git ls-files | grep -E '\.(cpp|h|sh|cmake)$|(^|/)CMakeLists\.txt$|^Makefile$|^\.ci/run$'; }
testes=$(fontes | grep '^tests/' | conta)
resto=$(fontes | grep -v '^tests/' | conta)
printf 'testes: %d linhas; o resto: %d linhas; razão %.2f\n' "$testes" "$resto" \
  "$(echo "$testes / $resto" | bc -l)"
