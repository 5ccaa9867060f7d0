#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the example need, when they are missing.
set -euo pipefail

pacotes=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libsqlite3-dev libgtest-dev libgmock-dev
         fonts-dejavu-core dpkg-dev mdbtools-dev libseccomp-dev desktop-file-utils)
# Extra groups: "fuzz" (clang with libFuzzer), "navegador" (headless Chromium for the HTML report test),
# "tela" (Xvfb and ImageMagick for screenshots).
for extra in "$@"; do
  case "$extra" in
    fuzz) pacotes+=(clang libclang-rt-14-dev) ;;
    navegador) pacotes+=(chromium) ;;
    tela) pacotes+=(xvfb xauth imagemagick) ;;
    *) echo "grupo desconhecido: $extra" >&2; exit 2 ;;
  esac
done

faltam=()
for p in "${pacotes[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || faltam+=("$p")
done
[ ${#faltam[@]} -eq 0 ] && exit 0

echo "Instalando: ${faltam[*]}"
sudo_=""
[ "$(id -u)" -ne 0 ] && sudo_="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo_ apt-get update -q
$sudo_ apt-get install -y -q --no-install-recommends "${faltam[@]}"
