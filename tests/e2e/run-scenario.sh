#!/usr/bin/env bash
# Runs one end-to-end scenario program (a GoogleTest program built with the driver) under Wine.
#
#   tests/e2e/run-scenario.sh --name NAME [--timeout SECONDS] [--supply FILE]... \
#       [--url-recorder FILE] [--drive LETTER]... -- PROGRAM [GTEST ARGUMENTS...]
#
# For each run it prepares, in the Wine prefix (WINEPREFIX, else build/e2e-wine; made once and
# reused, as a fresh one takes 6-14 s):
#   C:\tidewick-e2e\NAME\supply   copies of the --supply files (tidewick.exe, pskill.exe, ...)
#   C:\tidewick-e2e\NAME\work     where the scenario makes one fresh folder per test
#   C:\tidewick-e2e\NAME\shots    the scenario's screenshots (BMP), converted afterwards to
#                                 build/e2e/NAME/*.png
#   C:\tidewick-e2e\NAME\urls.log the pages opened: the --url-recorder program is made the
#                                 prefix's http and https handler, so no browser ever starts
#   LETTER:                       each --drive letter mapped to a fresh empty folder
#                                 build/e2e/drives/NAME/LETTER (unmapped again at the end)
# and hands their Windows paths to the program in TIDEWICK_E2E_SUPPLY, TIDEWICK_E2E_WORK,
# TIDEWICK_E2E_SHOTS, TIDEWICK_E2E_URL_LOG (and TIDEWICK_E2E_DRIVES, e.g. "X: Y:").
#
# It copies Wine's own fonts into the prefix. Without a display it starts Xvfb. The program runs in a process group of its own; after
# TIMEOUT seconds (default 120) it is ended with a picture of the screen and a list of what was
# still running, and whatever the run started and left behind is ended when it finishes.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/lib/wine.sh"

usage() { sed -n '2,4p' "$0" >&2; exit 2; }
name="" timeout=120 recorder="" supplies=() drives=()
while (($#)); do
  case $1 in
    --name) name=$2; shift 2 ;;
    --timeout) timeout=$2; shift 2 ;;
    --supply) supplies+=("$2"); shift 2 ;;
    --url-recorder) recorder=$2; shift 2 ;;
    --drive) drives+=("${2,,}"); shift 2 ;;
    --) shift; break ;;
    *) usage ;;
  esac
done
(($# >= 1)) && [ -n "$name" ] || usage
case $name in *[!A-Za-z0-9._-]*) echo "run-scenario: NAME may hold letters, digits, '.', '_' and '-' only" >&2; exit 2 ;; esac
program=$1
shift

wine_env "${WINEPREFIX:-$root/build/e2e-wine}"
wine_prefix_ensure
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  unset DISPLAY
  xvfb_start
fi
# A wine server outside the run's session, so ending the session never ends the server; it
# stays 30 s after its last program, for the next run.
wine_server_up 30
# Wine's own fonts, so screenshots show the layout as Windows draws it (scripts/lib/wine.sh).
wine_prefix_fonts

base="$WINEPREFIX/drive_c/tidewick-e2e"
run="$base/$name"
shots="$root/build/e2e/$name"
rm -rf "$run" "$shots"
mkdir -p "$run/supply" "$run/work" "$run/shots" "$shots"
for f in "${supplies[@]}"; do cp -- "$f" "$run/supply/"; done
cp -- "$program" "$run/"
winrun="C:\\tidewick-e2e\\$name"
export TIDEWICK_E2E_SUPPLY="$winrun\\supply"
export TIDEWICK_E2E_WORK="$winrun\\work"
export TIDEWICK_E2E_SHOTS="$winrun\\shots"
export TIDEWICK_E2E_URL_LOG="$winrun\\urls.log"

# The page recorder as the prefix's web browser (written once per prefix).
if [ -n "$recorder" ]; then
  mkdir -p "$base/tools"
  cp -- "$recorder" "$base/tools/url-recorder.exe"
  handler='"C:\tidewick-e2e\tools\url-recorder.exe" "%1"'
  marker="$WINEPREFIX/.tidewick-e2e-url-handler"
  if [ "$(cat "$marker" 2>/dev/null)" != "$handler" ]; then
    for scheme in http https; do
      wine reg add "HKCR\\$scheme\\shell\\open\\command" /ve /d "$handler" /f >/dev/null 2>&1
      wine reg delete "HKCR\\$scheme\\shell\\open\\ddeexec" /f >/dev/null 2>&1 || true
    done
    printf '%s' "$handler" >"$marker"
  fi
fi

# Drive letters mapped to fresh real folders (never symlinks inside them).
mapped=()
sid=""
# Ends what is left of the run's session: the programs the scenario started and did not end.
end_session() {
  [ -n "$sid" ] || return 0
  local left
  left=$(ps -o pid=,stat= -s "$sid" 2>/dev/null | awk '$2 !~ /^Z/ { print $1 }' || true)
  [ -n "$left" ] || return 0
  # Wine's desktop process starts with the first window of the run; it is not news.
  local listed
  # shellcheck disable=SC2086
  listed=$(ps -o pid=,args= -p "$(echo $left | tr ' ' ',')" 2>/dev/null | grep -v 'explorer.exe /desktop' || true)
  [ -z "$listed" ] || printf 'run-scenario: ending what the run left running:\n%s\n' "$listed" >&2
  # shellcheck disable=SC2086
  kill -KILL $left 2>/dev/null || true
}
cleanup() {
  end_session
  local l
  for l in "${mapped[@]}"; do wine_unmap_drive "$l"; done
  xvfb_stop
}
trap cleanup EXIT
trap 'exit 143' TERM INT HUP
drive_list=""
for l in "${drives[@]}"; do
  case $l in [a-y]) ;; *) echo "run-scenario: --drive takes one letter a-y, not '$l'" >&2; exit 2 ;; esac
  [ "$l" = c ] && { echo "run-scenario: C: is the system drive" >&2; exit 2; }
  folder="$root/build/e2e/drives/$name/$l"
  rm -rf "$folder"
  mkdir -p "$folder"
  wine_map_drive "$l" "$folder"
  mapped+=("$l")
  drive_list+="${drive_list:+ }${l^^}:"
done
export TIDEWICK_E2E_DRIVES="$drive_list"

echo "run-scenario: $name in $run (prefix $WINEPREFIX, display $DISPLAY, limit ${timeout}s)"
cd "$run"
# A session of its own: everything the scenario starts (the program under test, what that
# starts in turn) stays in it and can be ended by its id.
setsid wine "$run/$(basename "$program")" "$@" &
pid=$!
# setsid makes the program the leader of the new session, so the session's id is its pid; only
# members of that session are ever ended (none, should setsid not have made one).
sid=$pid

rc=0
deadline=$((SECONDS + timeout))
while kill -0 "$pid" 2>/dev/null; do
  if ((SECONDS >= deadline)); then
    echo "run-scenario: $name did not finish within ${timeout}s" >&2
    import -window root "$shots/timeout-screen.png" 2>/dev/null &&
      echo "run-scenario: the screen at the time limit: ${shots#"$root"/}/timeout-screen.png" >&2
    end_session
    rc=124
    break
  fi
  sleep 0.2
done
if ((rc == 0)); then wait "$pid" || rc=$?; else wait "$pid" 2>/dev/null || true; fi
end_session

# Screenshots as PNG, for people and for the review of the layouts.
count=0
for bmp in "$run/shots"/*.bmp; do
  [ -e "$bmp" ] || continue
  png="$shots/$(basename "${bmp%.bmp}").png"
  if convert "$bmp" "$png" 2>/dev/null; then count=$((count + 1)); else cp -- "$bmp" "$shots/"; fi
done
((count)) && echo "run-scenario: $count screenshot(s) in ${shots#"$root"/}/"
echo "run-scenario: $name ended with status $rc"
exit "$rc"
