# Sourced by the run and test scripts: a display, the two Wine prefixes and their servers.
#   vantrel_env_up    - start Xvfb when no display is set, make or reuse build/wine/win32 and win64
#   vantrel_env_down  - end the Wine servers and the Xvfb this script started
VANTREL_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
VANTREL_WINE="$VANTREL_ROOT/build/wine"
VANTREL_XVFB_PID=""
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# Windows of an X11 client with no window manager make Wine wait about 2 s for every hide;
# unmanaged windows need no window manager at all.
vantrel_unmanaged_windows() {   # dir
  local dir="$1"
  [ -f "$dir/.vantrel-unmanaged" ] && return 0
  WINEPREFIX="$dir" wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >>"$dir.log" 2>&1 </dev/null || return 0
  touch "$dir/.vantrel-unmanaged"
}

vantrel_make_prefix() {   # arch dir
  local arch="$1" dir="$2"
  if [ -f "$dir/.vantrel-ready" ]; then vantrel_unmanaged_windows "$dir"; return 0; fi
  rm -rf "$dir"; mkdir -p "$(dirname "$dir")"
  echo "testenv: creating Wine prefix $dir ($arch)"
  WINEPREFIX="$dir" WINEARCH="$arch" wineboot -i >"$dir.log" 2>&1 || true
  WINEPREFIX="$dir" wineserver -w
  # A new prefix reports Windows 7; the program's version tests want Windows 10.
  WINEPREFIX="$dir" wine winecfg -v win10 >>"$dir.log" 2>&1 || true
  WINEPREFIX="$dir" wineserver -w
  [ -d "$dir/drive_c/windows/system32" ] || { echo "testenv: prefix $dir failed, see $dir.log" >&2; return 1; }
  vantrel_unmanaged_windows "$dir"
  touch "$dir/.vantrel-ready"
}

vantrel_env_up() {
  if [ -z "${DISPLAY:-}" ]; then
    local n
    for n in $(seq 91 140); do
      if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then break; fi
    done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$VANTREL_ROOT/build/xvfb.log" 2>&1 </dev/null &
    VANTREL_XVFB_PID=$!
    export DISPLAY=":$n"
    local i
    for i in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  fi
  vantrel_make_prefix win32 "$VANTREL_WINE/win32"
  vantrel_make_prefix win64 "$VANTREL_WINE/win64"
  # Keep the servers alive between test programs: later starts are much faster.
  local p
  for p in win32 win64; do
    WINEPREFIX="$VANTREL_WINE/$p" wineserver -p >/dev/null 2>&1 </dev/null || true
    # The first program after a server start launches Wine's background services, which keep
    # that program's output handles: start them here, on /dev/null, not on a test's pipe.
    WINEPREFIX="$VANTREL_WINE/$p" wine cmd /c exit 0 >/dev/null 2>&1 </dev/null || true
  done
}

vantrel_env_down() {
  WINEPREFIX="$VANTREL_WINE/win32" wineserver -k >/dev/null 2>&1 || true
  WINEPREFIX="$VANTREL_WINE/win64" wineserver -k >/dev/null 2>&1 || true
  if [ -n "$VANTREL_XVFB_PID" ]; then kill "$VANTREL_XVFB_PID" 2>/dev/null || true; wait "$VANTREL_XVFB_PID" 2>/dev/null || true; fi
}
