#!/usr/bin/env bash
# What a host meets: installs the build into a temporary prefix, builds examples/host against it (its own
# CMake project, clean cache, find_package) and with pkg-config, runs it offscreen on the example
# database through Fechar; checks the desktop program's menu entry and icon and starts it as the entry
# does; then builds the .deb, unpacks it into a scratch root and runs its kvconsistencia there.
set -euo pipefail
raiz=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$raiz/build}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export XDG_CONFIG_HOME=$tmp/config XDG_CACHE_HOME=$tmp/cache QT_QPA_PLATFORM=offscreen LANG=C.UTF-8

echo "== cmake --install"
cmake --install "$build" --prefix "$tmp/prefixo" >/dev/null
"$tmp/prefixo/bin/kvconsistencia" exemplo "$tmp/exemplo.db" >/dev/null

# The main job as people run it: the program by its name from PATH in a folder of their own, through a
# link, and as an ordinary user whose home and working folder cannot be written. Each run makes a key
# that validar-chave accepts, and leaves nothing in the working folder, the library folder, the
# database's folder or TMPDIR.
faz_chave() {  # [prefix command...] program working-folder database
  local programa=$1 pasta=$2 banco=$3; shift 3
  (cd "$pasta" && "$@" "$programa" consistir --banco "$banco" --declaracao 12 --exercicio 2002 \
     --aceitar A:Entradas3Imp --aceitar 'A:Entradas725%' >/dev/null &&
   "$@" "$programa" validar-chave --banco "$banco" --declaracao 12 >/dev/null)
}
nada_sobrou() {  # folders that must look as before
  local sobras
  sobras=$(find "$@" -newer "$tmp/marca" \( -name 'tempXYZ*' -o -name 'kvconsistencia-*' -o -name '*.lock' \) \
             2>/dev/null || true)
  [ -z "$sobras" ] || { echo "sobrou: $sobras" >&2; exit 1; }
}
echo "== o programa pelo nome, por um link e como usuário comum"
mkdir -p "$tmp/trabalho" "$tmp/links" "$tmp/tmpdir" && touch "$tmp/marca"
cp "$tmp/exemplo.db" "$tmp/trabalho/ex.db"
PATH="$tmp/prefixo/bin:$PATH" TMPDIR="$tmp/tmpdir" faz_chave kvconsistencia "$tmp/trabalho" ex.db
ln -s "$tmp/prefixo/bin/kvconsistencia" "$tmp/links/kv"
cp "$tmp/exemplo.db" "$tmp/trabalho/ex2.db"
PATH="$tmp/links:$PATH" TMPDIR="$tmp/tmpdir" faz_chave kv "$tmp/trabalho" ex2.db
if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; then
  usuario=$(id -u nobody) grupo=$(id -g nobody)
  chmod 755 "$tmp"
  mkdir -p "$tmp/casa" "$tmp/dados" "$tmp/so-leitura"
  cp "$tmp/exemplo.db" "$tmp/dados/ex.db" && chown -R "$usuario" "$tmp/dados"
  chmod 555 "$tmp/casa" "$tmp/so-leitura"
  faz_chave kvconsistencia "$tmp/so-leitura" "$tmp/dados/ex.db" setpriv --reuid="$usuario" --regid="$grupo" \
    --clear-groups env -i PATH="$tmp/prefixo/bin:/usr/bin:/bin" HOME="$tmp/casa" LANG=C.UTF-8
else
  echo "(sem root: a execução como outro usuário fica de fora)"
fi
nada_sobrou "$tmp/trabalho" "$tmp/so-leitura" "$tmp/dados" "$tmp/prefixo/lib" "$tmp/tmpdir"

# A Jet file, read by the reader's program from the installed library folder; without that program, a
# clear error and no destination.
jet=$raiz/../shared/fixtures/jet/exemplo.mdb
importa() {  # prefix destination
  (cd "$tmp/trabalho" && "$1/bin/kvconsistencia" importar "$jet" "$2" >/dev/null)
}
if [ -f "$jet" ]; then
  echo "== importar um arquivo Jet"
  importa "$tmp/prefixo" "$tmp/trabalho/do-jet.db"
  [ -z "${usuario:-}" ] || (cd "$tmp/so-leitura" && setpriv --reuid="$usuario" --regid="$grupo" --clear-groups \
    env -i PATH="$tmp/prefixo/bin:/usr/bin:/bin" HOME="$tmp/casa" LANG=C.UTF-8 \
    kvconsistencia importar "$jet" "$tmp/dados/do-jet.db" >/dev/null)
  mv "$tmp/prefixo/lib/kvconsistencia/leitor-jet" "$tmp/leitor-jet"
  status=0 && importa "$tmp/prefixo" "$tmp/trabalho/sem-leitor.db" 2>"$tmp/erro" || status=$?
  mv "$tmp/leitor-jet" "$tmp/prefixo/lib/kvconsistencia/leitor-jet"
  [ "$status" -eq 3 ] && grep -q "Não foi possível iniciar o leitor de arquivos Jet" "$tmp/erro" &&
    [ ! -e "$tmp/trabalho/sem-leitor.db" ] || { echo "sem o leitor Jet (saída $status):"; cat "$tmp/erro"; exit 1; }
fi
[ -z "${usuario:-}" ] || [ -z "$(find /tmp -maxdepth 1 -user "$usuario" -name 'kvconsistencia-*')" ] ||
  { echo "sobrou uma pasta temporária do usuário comum em /tmp" >&2; exit 1; }

# The desktop program as the applications menu has it: an entry that desktop-file-validate accepts, whose
# command is the installed program, and its icon in the hicolor theme.
confere_entrada() {  # installed-root bin-folder
  local entrada=$1/share/applications/kvconsistencia-janela.desktop
  desktop-file-validate "$entrada"
  grep -qxF "Exec=\"$2/kvconsistencia-janela\" %F" "$entrada" || { echo "Exec errado em $entrada" >&2; exit 1; }
  [ -s "$1/share/icons/hicolor/scalable/apps/kvconsistencia-janela.svg" ] || { echo "falta o ícone" >&2; exit 1; }
}
echo "== a entrada do menu de aplicativos e a janela principal que ela abre"
confere_entrada "$tmp/prefixo" "$tmp/prefixo/bin"
mkdir -p "$tmp/menu" "$tmp/sessao" && chmod 700 "$tmp/sessao" && touch "$tmp/marca"
status=0  # a desktop session has its runtime folder
(cd "$tmp/menu" && TMPDIR="$tmp/tmpdir" XDG_RUNTIME_DIR="$tmp/sessao" timeout 4 \
   "$tmp/prefixo/bin/kvconsistencia-janela" "$tmp/exemplo.db") || status=$?
[ "$status" -eq 124 ] || { echo "kvconsistencia-janela terminou sozinho (saída $status)" >&2; exit 1; }
nada_sobrou "$tmp/menu" "$tmp/tmpdir" "$tmp/sessao"

echo "== examples/host com find_package"
cmake -S "$raiz/examples/host" -B "$tmp/host" -G Ninja -DCMAKE_PREFIX_PATH="$tmp/prefixo" >/dev/null
cmake --build "$tmp/host" >/dev/null
"$tmp/host/host-de-exemplo" "$tmp/exemplo.db" 12 --automatico

echo "== o motor da carteira pelo cabeçalho instalado: um banco e uma pasta"
mkdir -p "$tmp/carteira/sub" && cp "$tmp/exemplo.db" "$tmp/carteira/sub/outro.db"
echo "não é um banco" > "$tmp/carteira/ruim.db"
lista=$("$tmp/host/carteira-de-exemplo" 2002 "$tmp/exemplo.db" "$tmp/carteira")
echo "$lista" | tail -n 1
[ "$(echo "$lista" | grep -c 'declaração 1: consistente')" -eq 2 ] &&
  [ "$(echo "$lista" | grep -c ': inconsistente$')" -eq 14 ] && echo "$lista" | grep -q 'ruim.db: ilegível' ||
  { echo "a carteira não listou o que devia:"; echo "$lista"; exit 1; }

if [ -f "$jet" ]; then  # a Jet file through the component library: its reader's program beside it
  lista=$("$tmp/host/carteira-de-exemplo" 2002 "$jet")
  [ "$(echo "$lista" | grep -c 'declaração [0-9]*: ')" -eq 8 ] ||
    { echo "a carteira não leu o arquivo Jet:"; echo "$lista"; exit 1; }
fi

echo "== examples/host com pkg-config"
flags=$(PKG_CONFIG_PATH="$tmp/prefixo/lib/pkgconfig" pkg-config --cflags --libs kvcptconsistencia)
# shellcheck disable=SC2086
g++ -std=c++20 -fPIC "$raiz/examples/host/main.cpp" $flags -Wl,-rpath,"$tmp/prefixo/lib" -o "$tmp/host-pc"
"$tmp/host-pc" "$tmp/exemplo.db" 1 --automatico 2>/dev/null

echo "== pacote .deb"
(cd "$build" && cpack >/dev/null)
deb=$(ls "$build"/kvcptconsistencia_*.deb)
dpkg-deb --info "$deb" | grep -E 'Depends|Recommends'
dpkg-deb -x "$deb" "$tmp/raiz"
"$tmp/raiz/usr/bin/kvconsistencia" exemplo "$tmp/do-pacote.db"
[ ! -f "$jet" ] || importa "$tmp/raiz/usr" "$tmp/trabalho/do-pacote-jet.db"
confere_entrada "$tmp/raiz/usr" /usr/bin
if command -v lintian >/dev/null; then lintian --no-tag-display-limit "$deb" || true; fi
echo "instalação verificada"
