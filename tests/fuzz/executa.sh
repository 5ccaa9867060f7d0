#!/usr/bin/env bash
# Builds each fuzz target with clang's libFuzzer (plus AddressSanitizer and UBSan) and runs it for a
# bounded time. Inputs that crash are kept under tests/fuzz/regressoes/<alvo>/ and replayed first on
# every later run, so a crash found once stays a regression test.
set -euo pipefail
raiz=$(cd "$(dirname "$0")/../.." && pwd)
segundos=${KV_FUZZ_SEGUNDOS:-20}
saida=${KV_FUZZ_PASTA:-$raiz/build-fuzz}
mkdir -p "$saida"
qt=$(pkg-config --cflags --libs Qt6Core)
flags=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I"$raiz")

declare -A fontes=(
  [adaptador_jet]="platform/db/jetsql.cpp"
  [divisao_entrada]="platform/texto.cpp"
  [conversoes]="platform/variant.cpp"
  [formato]="platform/formato.cpp platform/variant.cpp"
  [quadros_jet]="jet/quadros.cpp platform/texto.cpp"
  [leitor_jet]="jet/leitor.cpp platform/certificacao.cpp jet/quadros.cpp platform/texto.cpp"
)
# The reader target starts the reader's program, which it looks for in kvconsistencia/ beside itself
# (no lib/ beside the fuzz folder): built here with the same sanitizers, without libFuzzer.
leitor=(jet/programa/principal.cpp jet/filho.cpp jet/definicao.cpp jet/decodifica.cpp jet/quadros.cpp platform/texto.cpp)
# The Jet reader starts from the fixtures (whole files, so larger inputs: nwind.mdb, the Jet 3 one, is
# 3 MB); the others from nothing. A changed copy of a fixture that still reads must keep its tables'
# columns: the target reads the intact fixtures first.
declare -A sementes=([leitor_jet]="exemplo.mdb edge.mdb DateTestDatabase.mdb ASampleDatabase.accdb nwind.mdb")
declare -A tamanho=([leitor_jet]=3100000)
fixtures=$raiz/../shared/fixtures/jet
intactos=""
for s in ${sementes[leitor_jet]}; do [[ -f $fixtures/$s ]] && intactos+="$fixtures/$s "; done
export KV_FUZZ_JET_INTACTOS=$intactos
mdb=$(pkg-config --cflags --libs libmdb libseccomp)
versao=$(sed -nE 's/^project\(kvCptConsistencia VERSION ([0-9.]+).*/\1/p' "$raiz/CMakeLists.txt")
falhou=0
for alvo in adaptador_jet divisao_entrada conversoes formato quadros_jet leitor_jet; do
  bin="$saida/$alvo"
  arquivos=()
  for f in ${fontes[$alvo]}; do arquivos+=("$raiz/$f"); done
  extra=""
  [[ $alvo == leitor_jet ]] && extra="$mdb -DKV_VERSAO_LIBMDB=\"$(pkg-config --modversion libmdb)\"" &&
    extra+=" -DKV_VERSAO=\"$versao\"" && mkdir -p "$saida/kvconsistencia" &&
    clang++ "${flags[@]/fuzzer,/}" "${leitor[@]/#/$raiz/}" $extra -o "$saida/kvconsistencia/leitor-jet"
  clang++ "${flags[@]}" "$raiz/tests/fuzz/$alvo.cpp" "${arquivos[@]}" $qt $extra -o "$bin"
  regressoes="$raiz/tests/fuzz/regressoes/$alvo"
  corpus="$saida/corpus-$alvo"
  mkdir -p "$corpus" "$regressoes"
  for s in ${sementes[$alvo]:-}; do
    [[ -f $fixtures/$s ]] && cp -n "$fixtures/$s" "$corpus/"
  done
  if compgen -G "$regressoes/*" >/dev/null; then
    "$bin" "$regressoes"/* || { echo "regressão de $alvo voltou a falhar"; falhou=1; }
  fi
  echo "== $alvo: ${segundos}s"
  if ! "$bin" -max_total_time="$segundos" -max_len="${tamanho[$alvo]:-512}" -artifact_prefix="$regressoes/" "$corpus" \
      2>"$saida/$alvo.log"; then
    echo "$alvo encontrou uma falha; a entrada está em $regressoes/"; tail -30 "$saida/$alvo.log"; falhou=1
  else
    grep -E "^Done|#[0-9]+.*DONE" "$saida/$alvo.log" | tail -1 || true
  fi
done
exit $falhou
