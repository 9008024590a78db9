#!/usr/bin/env bash
# The end-to-end run of every other autostart entry, checked again from Linux afterwards.
#
#   tests/e2e/autostart_check.sh RUN-SCENARIO [run-scenario options...] -- PROGRAM [args...]
#
# The scenario (autostart_e2e.cpp) sets up the entries, the files and the stand-ins in the
# prefix itself and writes what it expects after Delete to work\check\autostart-check.txt:
# "gone"/"kept" with a Windows path, "value-gone"/"value-kept" with a key and a value name.
# After the run each file is looked for on the Linux side of the prefix (winepath -u) and each
# value with `wine reg query`. Then what the scenario made is tidied away (only names beginning
# with "tw"), so the shared prefix holds no autostart entry for the next scenario.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/lib/wine.sh"
(($# >= 2)) || { sed -n '4p' "$0" >&2; exit 2; }
run=$1
shift

name=e2e.autostart
wine_env "${WINEPREFIX:-$root/build/e2e-wine}"
wine_prefix_ensure
check="$WINEPREFIX/drive_c/tidewick-e2e/$name/work/check/autostart-check.txt"

rc=0
"$run" "$@" || rc=$?

failures=0
fail() { echo "autostart_check: $*" >&2; failures=$((failures + 1)); }
if [ ! -f "$check" ]; then
  # The scenario stopped before Delete had run: nothing to check from here.
  ((rc)) || fail "the scenario wrote no $check"
else
  wine_server_up 30
  while IFS=$'\t' read -r what first second; do
    first=${first%$'\r'}
    second=${second%$'\r'}
    case $what in
      gone | kept)
        unix=$(winepath -u "$first" 2>/dev/null) || { fail "winepath cannot name '$first'"; continue; }
        if [ "$what" = gone ] && [ -e "$unix" ]; then fail "'$first' is still there ($unix)"; fi
        if [ "$what" = kept ] && [ ! -e "$unix" ]; then fail "'$first' is gone ($unix)"; fi
        ;;
      value-gone | value-kept)
        if wine reg query "$first" /v "$second" >/dev/null 2>&1; then present=1; else present=0; fi
        if [ "$what" = value-gone ] && ((present)); then fail "wine reg query still finds $first $second"; fi
        if [ "$what" = value-kept ] && ((!present)); then fail "wine reg query no longer finds $first $second"; fi
        ;;
      *) fail "a line of $check not understood: $what" ;;
    esac
  done <"$check"
  # Tidy the shared prefix: the decoys and any leftover, and only the scenario's own, whose
  # file and value names all begin with "tw" (so a line naming anything else removes nothing).
  while IFS=$'\t' read -r what first second; do
    first=${first%$'\r'}
    second=${second%$'\r'}
    case $what in
      gone | kept)
        base=${first##*\\}
        case ${base,,} in tw*) ;; *) continue ;; esac
        unix=$(winepath -u "$first" 2>/dev/null) && rm -f -- "$unix"
        ;;
      value-gone | value-kept)
        case ${second,,} in tw*) ;; *) continue ;; esac
        wine reg delete "$first" /v "$second" /f >/dev/null 2>&1 || true
        ;;
    esac
  done <"$check"
fi
if ((failures)); then ((rc)) || rc=1; fi
((rc)) || echo "autostart_check: the prefix holds what it should, seen from Linux and with wine reg query"
exit "$rc"
