#!/bin/bash
# Configures (once) and builds one or both targets: build.sh [i686|x86_64]...
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
targets=("$@"); [ ${#targets[@]} -eq 0 ] && targets=(i686 x86_64)
for t in "${targets[@]}"; do
  if [ ! -f "$root/build/$t/build.ninja" ]; then
    cmake -S "$root" -B "$root/build/$t" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$t.cmake" >/dev/null
  fi
  ninja -C "$root/build/$t"
done
