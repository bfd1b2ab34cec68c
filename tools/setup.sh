#!/bin/bash
# Installs what a fresh Debian 12 machine lacks to build and test the program:
# MinGW-w64 for both targets, Wine (64 and 32-bit), Xvfb, GoogleTest sources, ImageMagick.
# Quick when everything is already there.
set -euo pipefail

need=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

for p in cmake ninja-build g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 xvfb xauth \
         googletest imagemagick xdotool; do
  have_pkg "$p" || need+=("$p")
done
have_pkg wine32:i386 || need+=("wine32:i386")

if [ ${#need[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" != "0" ]; then SUDO="sudo"; fi
echo "setup: installing ${need[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q >/dev/null
$SUDO apt-get install -y -q "${need[@]}" >/dev/null
# wine's own recommends bring the 32-bit loader's libraries on some machines only
have_cmd wine || { echo "setup: wine is still missing" >&2; exit 1; }
