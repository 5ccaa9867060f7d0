#!/usr/bin/env bash
# The component library's exported symbols against the checked-in list, so that an ABI change is a
# conscious one. Weak symbols are left out: they follow the optimisation level, not the API. After a deliberate change: tests/simbolos.sh LIB tests/simbolos.txt --atualiza
set -euo pipefail
biblioteca=$1 lista=$2
# Strong symbols only: weak ones (inline functions, templates) come and go with the optimisation level.
atual=$(nm -D --defined-only -C "$biblioteca" | awk '$2 ~ /^[TDBR]$/ { $1 = ""; $2 = ""; sub(/^  /, ""); print }' |
  LC_ALL=C sort -u)
if [ "${3:-}" = "--atualiza" ]; then
  printf '%s\n' "$atual" >"$lista"
  exit 0
fi
if ! diff -u "$lista" <(printf '%s\n' "$atual"); then
  echo "Os símbolos exportados mudaram (- na lista, + na biblioteca). Se a mudança é intencional:"
  echo "  tests/simbolos.sh $biblioteca $lista --atualiza"
  exit 1
fi
echo "$(printf '%s\n' "$atual" | wc -l) símbolos exportados, como na lista"
