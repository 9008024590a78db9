# Shared Wine set-up for scripts/test, scripts/run and scripts/wine-exec. Source it.
#   wine_env PREFIX                the variables every Wine call here uses (own prefix, quiet,
#                                  no Mono/Gecko prompts, no menu entries, 64-bit)
#   wine_prefix_create             a fresh prefix at $WINEPREFIX (6-9 s)
#   wine_prefix_ensure             the prefix, made only when it is not ready yet
#   wine_map_drive LETTER FOLDER   maps a drive letter of the prefix to a Linux folder, as a
#                                  removable drive
#   wine_unmap_drive LETTER        removes that mapping again
#   pe_check_imports "DLL.." EXE.. fails when a program imports a DLL not in the list
#                                  (PE_SHIPPED_DLLS, PE_TEST_DLLS below)
#   pe_check_windows7_imports EXE.. fails when a program statically imports a function or DLL
#                                  that Windows 7 SP1 lacks (PE_AFTER_WINDOWS7_* below)
#   xvfb_start / xvfb_stop         a virtual display when none is set

wine_env() {
  export WINEPREFIX="$1"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  export WINEARCH=win64
}

wine_prefix_create() {
  wineserver -k 2>/dev/null || true
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
  wine_prefix_fonts
  touch "$WINEPREFIX/.tidewick-ready"
}

# Wine's own Tahoma, MS Sans Serif and Marlett (package fonts-wine), which this Wine build does
# not find by itself: without them text falls back to wider fonts and the title-bar buttons show
# letters instead of their symbols.
wine_prefix_fonts() {
  local fonts="$WINEPREFIX/drive_c/windows/Fonts" font
  if [ ! -d /usr/share/wine/fonts ]; then
    echo "wine: /usr/share/wine/fonts is missing (package fonts-wine): fallback fonts are used" >&2
    return 0
  fi
  mkdir -p "$fonts"
  for font in /usr/share/wine/fonts/*.ttf; do
    [ -e "$fonts/$(basename "$font")" ] || cp -- "$font" "$fonts/"
  done
}

# Starts a wine server for the prefix unless one runs, staying PERSIST seconds after its last
# program (empty: until killed), and with it Wine's own background processes (services,
# devices), detached from the caller's output: they live as long as the server, and a pipe they
# held would keep a test runner waiting long after its program had ended.
wine_server_up() {
  local persist=${1-30}
  if wineserver -p"$persist" 2>/dev/null; then
    wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  fi
}

wine_prefix_ensure() {
  [ -f "$WINEPREFIX/.tidewick-ready" ] || wine_prefix_create
}

# Maps drive LETTER (either case) of the prefix to FOLDER as a removable drive, the kind a USB
# stick is (GetDriveType answers DRIVE_REMOVABLE), also for programs already running. A
# dosdevices link alone would make a fixed drive, and one the mount manager of a running prefix
# does not know: the manager defines the letter instead (wine_drive.exe, built on first use from
# scripts/lib/wine_drive.c), writing the link and keeping the type ("floppy" in
# HKLM\Software\Wine\Drives) for its next start. Starts the prefix's server if none runs.
wine_map_drive() {
  local letter=${1,,} folder tool said
  folder=$(cd "$2" && pwd)
  tool=$(wine_drive_tool) || return 1
  wine_server_up 30
  # Its words go to a file, not a pipe: a Wine process it may start would hold a pipe open.
  said=$(mktemp)
  if ! wine "$tool" "$letter" "$folder" </dev/null >"$said" 2>&1; then
    echo "wine: drive $letter: could not be mapped to $folder: $(cat "$said")" >&2
    rm -f "$said"
    return 1
  fi
  rm -f "$said"
}

# Removes the mapping of LETTER again, for the mount manager too: a letter whose link is only
# deleted stays listed by GetLogicalDrives, as a removable drive, until the prefix restarts.
wine_unmap_drive() {
  local letter=${1,,}
  local tool
  [ -L "$WINEPREFIX/dosdevices/$letter:" ] || return 0
  if tool=$(wine_drive_tool); then wine "$tool" "$letter" </dev/null >/dev/null 2>&1 || true; fi
  rm -f "$WINEPREFIX/dosdevices/$letter:"
}

# The path of wine_drive.exe, built into the prefix when missing or older than its source.
# Tests map drives in parallel: each build goes to a file of its own, moved into place whole.
wine_drive_tool() {
  local source tool
  source=$(dirname "${BASH_SOURCE[0]}")/wine_drive.c
  tool=$WINEPREFIX/tidewick-tools/wine_drive.exe
  if [ ! -f "$tool" ] || [ "$source" -nt "$tool" ]; then
    mkdir -p "$(dirname "$tool")"
    x86_64-w64-mingw32-gcc-posix -municode -O2 -Wall -static -o "$tool.$$" "$source" &&
      mv -f "$tool.$$" "$tool" || { rm -f "$tool.$$"; echo "wine: cannot build $tool" >&2; return 1; }
  fi
  echo "$tool"
}

# The DLLs a shipped program (tidewick.exe, pskill.exe) may import: Windows' own, present on
# every Windows from 7 SP1 on without any redistributable, and of those only the ones
# tidewick.exe needs. Not the compiler's libstdc++, libgcc or winpthread, not vcruntime140 or
# msvcp140 (Wine's system32 holds them, a bare Windows does not), not the api-ms-win-* sets.
PE_SHIPPED_DLLS="kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll comctl32.dll uxtheme.dll
  userenv.dll msvcrt.dll"
# The test and benchmark programs may also import ole32.dll: tests/win32/shortcut_wine_tests.exe
# writes and loads shortcuts through the shell's COM shortcut object. (Their process figures
# come from kernel32's K32* functions, so psapi.dll is not needed.)
PE_TEST_DLLS="$PE_SHIPPED_DLLS ole32.dll"

# Prints "DLL FUNCTION" (the DLL in lower case) for each function EXE imports by name, and
# "DLL" alone for a DLL none of whose functions is imported by name; fails when the import
# table cannot be read or names no DLL (every Windows program imports kernel32.dll).
pe_imports() {
  local table
  table=$(x86_64-w64-mingw32-objdump -p "$1") || { echo "import check: cannot read $1" >&2; return 1; }
  awk '
    /^[[:space:]]*DLL Name: / { if (dll != "" && !named) print dll; dll = tolower($3); named = 0; next }
    dll != "" && /^[^[:space:]]/ { if (!named) print dll; dll = "" }
    dll != "" && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ && $3 ~ /^[A-Za-z_]/ { print dll, $3; named = 1 }
    END { if (dll != "" && !named) print dll }
  ' <<<"$table" | grep . || { echo "import check: $1 names no imported DLL" >&2; return 1; }
}

# pe_check_imports "DLL..." EXE...: each program may import only the listed DLLs (letter case
# aside). Names every program and DLL off the list.
pe_check_imports() {
  local list allowed status=0 exe dll imports
  list=$(echo $1 | tr '[:upper:]' '[:lower:]')
  allowed=" $list "
  shift
  for exe in "$@"; do
    imports=$(pe_imports "$exe") || { status=1; continue; }
    for dll in $(cut -d' ' -f1 <<<"$imports" | sort -u); do
      if [[ $allowed != *" $dll "* ]]; then
        echo "import check: $exe imports $dll, which is not on its list of Windows system DLLs ($list)" >&2
        status=1
      fi
    done
  done
  return "$status"
}

# Functions and DLLs a Windows 7 SP1 does not have, among those this code could reach for; a
# static import of any of them keeps the program from starting there. Use them through
# GetProcAddress, as ui/win32/win32_dpi.cpp does for the per-monitor DPI calls.
PE_AFTER_WINDOWS7_FUNCTIONS=(
  # per-monitor DPI, user32 (Windows 10 1607; SetProcessDpiAwarenessContext 1703, GetSystemDpiForProcess 1803)
  GetDpiForWindow GetDpiForSystem GetSystemDpiForProcess SetThreadDpiAwarenessContext
  SetProcessDpiAwarenessContext GetThreadDpiAwarenessContext GetWindowDpiAwarenessContext
  AreDpiAwarenessContextsEqual GetAwarenessFromDpiAwarenessContext GetSystemMetricsForDpi
  AdjustWindowRectExForDpi SystemParametersInfoForDpi EnableNonClientDpiScaling
  # per-monitor DPI, shcore.dll (Windows 8.1)
  GetDpiForMonitor SetProcessDpiAwareness GetProcessDpiAwareness GetScaleFactorForMonitor
  # thread names (Windows 10 1607)
  SetThreadDescription GetThreadDescription
  # kernel32 (Windows 8)
  GetSystemTimePreciseAsFileTime CreateFile2 CopyFile2 GetCurrentThreadStackLimits
  WaitOnAddress WakeByAddressSingle WakeByAddressAll
  SetProcessMitigationPolicy GetProcessMitigationPolicy
  # the DLL search path (Windows 8; on 7 only with update KB2533623, which SP1 does not hold)
  SetDefaultDllDirectories AddDllDirectory RemoveDllDirectory
  # path functions of pathcch.dll (Windows 8)
  PathCchCombine PathCchCombineEx PathCchAppend PathCchAppendEx PathCchCanonicalize
  PathCchCanonicalizeEx PathAllocCombine PathAllocCanonicalize
)
# DLLs (shell patterns) that Windows 7 SP1 does not have, or not with the functions imported
# from them: the api-ms-win-* and ext-ms-win-* sets, shcore.dll (8.1), pathcch.dll (8).
PE_AFTER_WINDOWS7_DLLS=("api-ms-win-*" "ext-ms-win-*" shcore.dll pathcch.dll)

pe_check_windows7_imports() {
  local status=0 exe dll function pattern imports
  for exe in "$@"; do
    imports=$(pe_imports "$exe") || { status=1; continue; }
    for dll in $(cut -d' ' -f1 <<<"$imports" | sort -u); do
      for pattern in "${PE_AFTER_WINDOWS7_DLLS[@]}"; do
        # shellcheck disable=SC2053  # a pattern on purpose
        if [[ $dll == $pattern ]]; then
          echo "Windows 7 check: $exe imports $dll, which Windows 7 SP1 lacks" >&2
          status=1
        fi
      done
    done
    while read -r dll function; do
      [ -n "$function" ] || continue
      for pattern in "${PE_AFTER_WINDOWS7_FUNCTIONS[@]}"; do
        if [ "$function" = "$pattern" ]; then
          echo "Windows 7 check: $exe imports $function from $dll, which Windows 7 SP1 lacks" >&2
          status=1
        fi
      done
    done <<<"$imports"
  done
  return "$status"
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
    # Another run took this display at the same moment: try the next one.
    kill "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
  done
  echo "could not start Xvfb" >&2
  return 1
}

xvfb_stop() {
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  XVFB_PID=""
}
