#!/bin/bash
# Builds one target (default x86_64) and runs every benchmark under Wine, one figure a line.
#   tools/bench.sh [i686|x86_64] [rows...]   rows: list sizes for the list-fill benchmark, three for
#   the checklist page, then three for the driver store page
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
target="${1:-x86_64}"; shift || true
"$root/tools/setup.sh" || exit 1
"$root/tools/build.sh" "$target" >/dev/null || exit 1
source "$root/tools/testenv.sh"
vantrel_env_up || { vantrel_env_down; exit 1; }
prefix="$VANTREL_WINE/win32"; [ "$target" = x86_64 ] && prefix="$VANTREL_WINE/win64"
b="$root/build/$target"
echo "== runner";   "$root/tools/wine-exec.sh" "$prefix" "$b/bin/runner_bench.exe"
echo "== textutil"; "$root/tools/wine-exec.sh" "$prefix" "$b/bench/textutil/textutil_bench.exe"
echo "== dialogs";  "$root/tools/wine-exec.sh" "$prefix" "$b/bench/dialogs/dialogs_bench.exe" "$@"
echo "== pages";    "$root/tools/wine-exec.sh" "$prefix" "$b/bench/pages/pages_bench.exe"
echo "== detail pass"; "$root/tools/wine-exec.sh" "$prefix" "$b/bench/detailpass/detailpass_bench.exe"
echo "== execute";  "$root/tools/wine-exec.sh" "$prefix" "$b/bin/execute_bench.exe"
vantrel_env_down
