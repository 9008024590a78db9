# Shared Wine set-up for scripts/test, scripts/run and scripts/wine-exec. Source it.
#   wine_env PREFIX        exports the variables every Wine call here uses
#   wine_prefix_create     makes a fresh prefix at $WINEPREFIX (6-9 s)
#   xvfb_start / xvfb_stop a virtual display when none is set

wine_env() {
  export WINEPREFIX="$1"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  export WINEARCH=win64
}

wine_prefix_create() {
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  wineboot -i >/dev/null 2>&1
  wineserver -w
  # No crash dialog: a crashing test fails instead of waiting for a click.
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  # Without a window manager every hide stalls about 2 s in managed mode.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  wineserver -w
  # The Linux root must never show up as a device.
  rm -f "$WINEPREFIX/dosdevices/z:"
  touch "$WINEPREFIX/.tidewick-ready"
}

wine_prefix_ensure() {
  [ -f "$WINEPREFIX/.tidewick-ready" ] || wine_prefix_create
}

# Maps drive LETTER (lower case) of the prefix to FOLDER.
wine_map_drive() {
  local letter=$1 folder=$2
  rm -f "$WINEPREFIX/dosdevices/$letter:"
  ln -s "$(cd "$folder" && pwd)" "$WINEPREFIX/dosdevices/$letter:"
}

XVFB_PID=""
xvfb_start() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local n
  for n in $(seq 91 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
  done
  echo "could not start Xvfb" >&2
  return 1
}

xvfb_stop() {
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  XVFB_PID=""
}
