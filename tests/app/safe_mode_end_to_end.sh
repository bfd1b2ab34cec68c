#!/bin/bash
# The real program in a test prefix whose system folder holds a stand-in "bcdedit.exe":
# the driver walks "Safe Mode" as a user would, and the stand-in's log must hold exactly the
# one command that the YES answer runs.
#   safe_mode_end_to_end.sh PREFIX DRIVER PROGRAM_WINDOWS_PATH STANDIN
set -u
prefix="$1"; driver="$2"; program="$3"; standin="$4"
sys="$prefix/drive_c/windows/system32"
scenario="$(mktemp -d)"
cleanup() { rm -f "$sys/bcdedit.exe"; rm -rf "$scenario"; }
trap cleanup EXIT
cp "$standin" "$sys/bcdedit.exe" || exit 1
printf 'match-glob: *\nstdout: The operation completed successfully.\\r\\n\nexit: 0\n' >"$scenario/scenario.txt"
export VANTREL_SCENARIO="Z:${scenario//\//\\}"
"$(dirname "$0")/../../tools/wine-exec.sh" "$prefix" "$driver" safemode "$program"
rc=$?
log="$(tr -d '\r' <"$scenario/commands.log" 2>/dev/null)"
if [ "$log" != "bcdedit /set {default} safeboot minimal" ]; then
  echo "FAIL: the stand-in received: [$log]"
  exit 1
fi
echo "ok  : exactly \"bcdedit /set {default} safeboot minimal\" ran"
exit $rc
