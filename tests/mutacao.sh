#!/usr/bin/env bash
# Plants each fault of tests/mutacoes.txt, one at a time, in a copy of the tracked sources with a build of
# its own (build-mutacao), runs the test suite and reports which faults the tests caught and which
# survived. The working tree is never touched. Not part of `make test`: a full run takes minutes.
set -uo pipefail
raiz=$(cd "$(dirname "$0")/.." && pwd)
pasta=${KV_MUTACAO_PASTA:-$raiz/build-mutacao}
rm -rf "$pasta/src"
mkdir -p "$pasta/src"
(cd "$raiz" && git ls-files -z | xargs -0 cp --parents -t "$pasta/src")
ln -sfn "$raiz/../shared" "$pasta/shared"  # the Jet fixtures, where the tests look for them
cd "$pasta/src"
build=$pasta/build
cmake -S . -B "$build" -G Ninja -DKV_BENCH=OFF >/dev/null
cmake --build "$build" >/dev/null || { echo "a árvore sem mutações não compila"; exit 2; }

salvo=""
restaura() { [ -n "$salvo" ] && cp "$salvo" "$arquivo" && rm -f "$salvo"; salvo=""; }
trap 'restaura; exit 130' INT TERM

pegas=0 sobreviveram=0 n=0
while IFS=$'\t' read -r arquivo texto troca descricao; do
  [[ -z "$arquivo" || "$arquivo" == \#* ]] && continue
  n=$((n + 1))
  if ! grep -qF -- "$texto" "$arquivo"; then
    echo "[$n] texto não encontrado em $arquivo: $texto"; sobreviveram=$((sobreviveram + 1)); continue
  fi
  salvo=$(mktemp)
  cp "$arquivo" "$salvo"
  python3 - "$arquivo" "$texto" "$troca" <<'PY'
import sys
caminho, texto, troca = sys.argv[1:4]
s = open(caminho, encoding="utf-8").read()
open(caminho, "w", encoding="utf-8").write(s.replace(texto, troca, 1))
PY
  if ! cmake --build "$build" >/dev/null 2>&1; then
    resultado="pega (não compila)"; pegas=$((pegas + 1))
  elif (cd "$build" && ctest -j 2 --stop-on-failure -E RelatorioHtml >/dev/null 2>&1); then
    resultado="SOBREVIVEU"; sobreviveram=$((sobreviveram + 1))
  else
    resultado="pega"; pegas=$((pegas + 1))
  fi
  restaura
  printf '[%d] %-20s %s (%s)\n' "$n" "$resultado" "$descricao" "$arquivo"
done < tests/mutacoes.txt
cmake --build "$build" >/dev/null 2>&1
echo "$pegas pegas, $sobreviveram sobreviveram, de $n mutações"
[ "$sobreviveram" -eq 0 ]
