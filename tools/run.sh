#!/bin/bash
# Builds the x86 program and starts it under Wine (in a 32-bit Windows prefix), saving a PNG
# screenshot of its main window. Without a display it runs on a private Xvfb and closes the
# program after the screenshot; with a display the program stays open until you close it.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/tools/setup.sh" || exit 1
if [ ! -f "$root/build/i686/build.ninja" ]; then
  cmake -S "$root" -B "$root/build/i686" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686.cmake" >/dev/null || exit 1
fi
ninja -C "$root/build/i686" SysVantrel32 >/dev/null || { ninja -C "$root/build/i686" SysVantrel32; exit 1; }
had_display="${DISPLAY:-}"
source "$root/tools/testenv.sh"
vantrel_env_up || { vantrel_env_down; exit 1; }

"$root/tools/wine-exec.sh" "$VANTREL_WINE/win32" "$root/build/i686/bin/SysVantrel32.exe" \
  >"$root/build/run.log" 2>&1 </dev/null &
prog=$!
win=""
for _ in $(seq 1 300); do
  win="$(xdotool search --name '^Sys_Vantrel32 - v' 2>/dev/null | head -1)"
  [ -n "$win" ] && break
  kill -0 $prog 2>/dev/null || break
  sleep 0.1
done
shot="$root/build/main-window.png"
if [ -n "$win" ]; then
  sleep 1
  import -window "$win" "$shot" && echo "Main window: $(xdotool getwindowname "$win")" && echo "Screenshot: $shot"
else
  echo "The main window did not appear; see $root/build/run.log" >&2
fi
if [ -z "$had_display" ]; then
  [ -n "$win" ] && xdotool key --window "$win" Escape 2>/dev/null
  sleep 1
  vantrel_env_down
else
  echo "The program runs on your display; close it to end."
  wait $prog
fi
