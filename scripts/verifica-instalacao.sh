#!/usr/bin/env bash
# What a host meets: installs the build into a temporary prefix, builds examples/host against it (its own
# CMake project, clean cache, find_package) and with pkg-config, runs it offscreen on the example
# database through Fechar; then builds the .deb, unpacks it into a scratch root and runs its
# kvconsistencia there.
set -euo pipefail
raiz=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$raiz/build}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export XDG_CONFIG_HOME=$tmp/config XDG_CACHE_HOME=$tmp/cache QT_QPA_PLATFORM=offscreen LANG=C.UTF-8

echo "== cmake --install"
cmake --install "$build" --prefix "$tmp/prefixo" >/dev/null
"$tmp/prefixo/bin/kvconsistencia" exemplo "$tmp/exemplo.db" >/dev/null

echo "== examples/host com find_package"
cmake -S "$raiz/examples/host" -B "$tmp/host" -G Ninja -DCMAKE_PREFIX_PATH="$tmp/prefixo" >/dev/null
cmake --build "$tmp/host" >/dev/null
"$tmp/host/host-de-exemplo" "$tmp/exemplo.db" 12 --automatico

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
if command -v lintian >/dev/null; then lintian --no-tag-display-limit "$deb" || true; fi
echo "instalação verificada"
