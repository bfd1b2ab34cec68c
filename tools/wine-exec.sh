#!/bin/bash
# Runs a Windows program under Wine in a given prefix: wine-exec.sh PREFIX PROGRAM [ARGS...]
# Used by ctest as the cross-compiling emulator and by the run and test scripts.
#
# The program's output goes through a file, not straight to our caller: Wine may start its
# own background processes (desktop, services) from inside the program, and those inherit
# its output handles. Holding a caller's pipe open, they would keep ctest waiting for the end
# of the output long after the program has ended.
prefix="$(realpath -m "$1")"; shift
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
out="$(mktemp)"
trap 'cat "$out"; rm -f "$out"' EXIT
wine "$@" >"$out" 2>&1 </dev/null
