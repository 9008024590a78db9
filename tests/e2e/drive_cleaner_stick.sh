#!/usr/bin/env bash
# The drive cleaner's end-to-end run on a realistic infected stick, seeded and checked from Linux.
#
#   tests/e2e/drive_cleaner_stick.sh RUN-SCENARIO [run-scenario options...] -- PROGRAM [args...]
#
# Seeds a folder the way the shortcut virus leaves a stick (hidden folders and files, a shortcut
# beside each, autorun.inf, a hidden script, read-only hidden files, a folder named like a
# shortcut, a hidden folder with a Bengali name, a name ending in a dot that Windows itself could
# not create), maps it to U: in the scenario's Wine prefix, runs the scenario through
# run-scenario.sh with TIDEWICK_E2E_STICK=U:\, and afterwards checks from Linux which entries
# are left and what attributes they carry (Wine keeps hidden and system in user.DOSATTRIB and
# read-only as the missing write permission).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/lib/wine.sh"
(($# >= 2)) || { sed -n '4p' "$0" >&2; exit 2; }
run=$1
shift

letter=u
stick=$root/build/e2e/drives/e2e.drive_cleaner/stick
wine_env "${WINEPREFIX:-$root/build/e2e-wine}"
wine_prefix_ensure

hide() { setfattr -n user.DOSATTRIB -v "\"$2\"" "$stick/$1"; }  # 0x2 hidden, 0x6 hidden + system
folder() { mkdir -p "$stick/$1"; }
file() { printf '%s\n' "${2:-content}" >"$stick/$1"; }

rm -rf "$stick"
mkdir -p "$stick"
folder "Photos";                   hide "Photos" 0x6
file "Photos/holiday.jpg"
file "Photos/inner-hidden.txt";    hide "Photos/inner-hidden.txt" 0x2
file "Photos.lnk" "L"
folder "Documents";                hide "Documents" 0x2
file "Documents.lnk" "L"
file "Budget 2024.xlsx";           hide "Budget 2024.xlsx" 0x2
file "Budget 2024.xlsx.lnk" "L"
folder "ছবি";                      hide "ছবি" 0x2
file "ছবি.lnk" "L"
file "Photos.exe" "MZ";            hide "Photos.exe" 0x6
file "autorun.inf" "[autorun]";    hide "autorun.inf" 0x6; chmod a-w "$stick/autorun.inf"
file "x7kq.vbs" "WScript";         hide "x7kq.vbs" 0x6
file "runme.cmd" "@echo off";      hide "runme.cmd" 0x2; chmod a-w "$stick/runme.cmd"
file "notes.txt";                  hide "notes.txt" 0x2; chmod a-w "$stick/notes.txt"
folder "Music.lnk"
file "Music.lnk/song.mp3"
file "Old Notes.";                 hide "Old Notes." 0x2
folder "System Volume Information"
file "desktop.ini" "[.ShellClassInfo]"

wine_map_drive "$letter" "$stick"
trap 'wine_unmap_drive "$letter"' EXIT
export TIDEWICK_E2E_STICK="${letter^^}:\\"

rc=0
"$run" "$@" || rc=$?

# ---- the stick afterwards, seen from Linux ----
failures=0
fail() { echo "drive_cleaner_stick: $*" >&2; failures=$((failures + 1)); }
dosattrib() {  # the hidden/system bits Wine keeps for an entry (0 when it keeps none)
  local value
  value=$(getfattr --only-values -n user.DOSATTRIB "$stick/$1" 2>/dev/null | tr -d '\0"') || value=0
  echo $((${value:-0} & 6))
}
for gone in "Photos.lnk" "Documents.lnk" "Budget 2024.xlsx.lnk" "ছবি.lnk" "Photos.exe" "autorun.inf" "x7kq.vbs" \
  "runme.cmd"; do
  [ ! -e "$stick/$gone" ] || fail "'$gone' is still on the stick"
done
for kept in "Photos/holiday.jpg" "Photos/inner-hidden.txt" "Documents" "Budget 2024.xlsx" "ছবি" "notes.txt" \
  "Music.lnk/song.mp3" "Old Notes." "System Volume Information" "desktop.ini"; do
  [ -e "$stick/$kept" ] || fail "'$kept' is gone"
done
for visible in "Photos" "Documents" "Budget 2024.xlsx" "ছবি" "notes.txt" "Music.lnk" "Old Notes."; do
  [ -e "$stick/$visible" ] && [ "$(dosattrib "$visible")" = 0 ] || fail "'$visible' is not plain visible (bits $(dosattrib "$visible"))"
done
[ -n "$(find "$stick/notes.txt" -perm -u+w)" ] || fail "notes.txt is still read-only"
[ "$(dosattrib "Photos/inner-hidden.txt")" = 2 ] || fail "an entry inside a folder lost its hidden attribute"
for system in "System Volume Information" "desktop.ini"; do
  [ "$(dosattrib "$system")" = 6 ] || fail "'$system' is not hidden + system (bits $(dosattrib "$system"))"
done
if ((failures)); then
  echo "drive_cleaner_stick: the stick afterwards:" >&2
  (cd "$stick" && find . -mindepth 1 -printf '%M %p\n' | sort | while read -r mode path; do
    printf '  %s %s %s\n' "$mode" "$path" "$(getfattr --only-values -n user.DOSATTRIB "$path" 2>/dev/null || true)"
  done) >&2
  ((rc)) || rc=1
fi
((rc)) || echo "drive_cleaner_stick: the stick holds what it should"
exit "$rc"
