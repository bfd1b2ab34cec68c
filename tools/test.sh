#!/bin/bash
# Builds both targets and runs every test under Wine (win32 prefix for i686, win64 for x86_64).
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/tools/setup.sh" || exit 1
"$root/tools/build.sh" i686 x86_64 || exit 1
source "$root/tools/testenv.sh"
mkdir -p "$root/build"
vantrel_env_up || { vantrel_env_down; exit 1; }
rc=0
for t in i686 x86_64; do
  echo "=== tests: $t"
  ctest --test-dir "$root/build/$t" --output-on-failure -j "$(nproc)" "$@" || rc=1
done
vantrel_env_down
# Window tests leave BMP screenshots in the build tree; reviewers get PNGs beside them.
find "$root/build/i686" "$root/build/x86_64" -name '*.bmp' 2>/dev/null | while read -r f; do
  convert "$f" "${f%.bmp}.png" 2>/dev/null && rm -f "$f"
done
exit $rc
