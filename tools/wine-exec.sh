#!/bin/bash
# Runs a Windows program under Wine in a given prefix: wine-exec.sh PREFIX PROGRAM [ARGS...]
# Used by ctest as the cross-compiling emulator and by the run and test scripts.
prefix="$(realpath -m "$1")"; shift
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec wine "$@"
