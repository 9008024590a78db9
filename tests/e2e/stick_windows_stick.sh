#!/usr/bin/env bash
# The stick windows end to end, on a stick seeded from Linux and compared from Linux after every
# command.
#
#   tests/e2e/stick_windows_stick.sh RUN-SCENARIO --name NAME [run-scenario options...] -- PROGRAM
#
# The stick (mapped to S:) looks like the families' sticks at once: a script worm with a shortcut
# of its name beside each hidden entry; the user's data inside a hidden folder named by a
# non-breaking space, with a desktop.ini that gives it a drive's icon, a shortcut named after the
# drive and a library beside it; a payload inside RECYCLER (one under a picture's name); a genuine
# shortcut, a branded autorun.inf that only sets an icon and a label; a damaged shortcut and one to
# a program of the computer; a hidden folder "_" with letters in it, and a legitimate hidden
# folder "_backup" that no shortcut opens. Every file is harmless text or bytes; the supply
# stick_links.exe (tools/stick_links.cpp, the test writer's shortcuts) writes the shortcuts
# through Wine.
#
# The scenario (stick_windows_e2e.cpp) runs one test per command, each through run-scenario.sh as
# NAME.1, NAME.2, ... with TIDEWICK_E2E_STICK=S:\, and after each the stick is compared from
# Linux: every user file is there exactly once with its content unchanged (SHA-256), nothing was
# overwritten, and the worm's files are where the window said.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/lib/wine.sh"
(($# >= 3)) || { sed -n '5p' "$0" >&2; exit 2; }
run=$1
shift
# The run-scenario options before "--" (its --name is the base of each phase's name, and the
# supply stick_links.exe is run here), and the scenario program after it.
options=() name="" links=""
while (($#)) && [ "$1" != "--" ]; do
  case $1 in
    --name) name=$2; shift 2; continue ;;
    --supply) case $2 in */stick_links.exe) links=$2 ;; esac ;;
  esac
  options+=("$1")
  shift
done
(($# >= 2)) && [ -n "$name" ] && [ -n "$links" ] || { sed -n '5p' "$0" >&2; exit 2; }
shift
program=$1

letter=s
work=$root/build/e2e/drives/$name
stick=$work/stick
wine_env "${WINEPREFIX:-$root/build/e2e-wine}"
wine_prefix_ensure

nbsp=$'\u00a0'
attrib() { setfattr -n user.DOSATTRIB -v "\"$2\"" "$stick/$1"; }  # 0x2 hidden, 0x6 hidden + system
folder() { mkdir -p "$stick/$1"; }
file() { printf '%s\n' "$2" >"$stick/$1"; }

chmod -R u+w "$work" 2>/dev/null || true
rm -rf "$work"
mkdir -p "$stick"

# The script worm.
folder "Photos";                             attrib "Photos" 0x6
file "Photos/holiday.jpg" "JPEG holiday at the sea"
file "Report.doc" "DOC the quarterly report";  attrib "Report.doc" 0x6
file "x7kq.vbs" "' a harmless stand-in of the worm's script"; attrib "x7kq.vbs" 0x6
# All data inside a folder of blanks, the drive's look, a library beside it.
folder "$nbsp";                              attrib "$nbsp" 0x6
file "$nbsp/thesis.docx" "DOCX the thesis"
folder "$nbsp/Pictures"
file "$nbsp/Pictures/a.jpg" "JPEG picture a"
file "$nbsp/README.TXT" "the readme that was in the folder"
printf '[.ShellClassInfo]\r\nIconResource=%%SystemRoot%%\\system32\\SHELL32.dll,7\r\n' >"$stick/$nbsp/desktop.ini"
attrib "$nbsp/desktop.ini" 0x6
file "desktop.ini" "harmless bytes where the worm keeps its code"; attrib "desktop.ini" 0x6
file "~\$WB.USBDRV" "MZ harmless stand-in of the worm's library"; attrib "~\$WB.USBDRV" 0x6
file "readme.txt" "the readme of the root"
# A payload inside RECYCLER.
folder "RECYCLER/S-1-5-21-1";                attrib "RECYCLER" 0x6
file "RECYCLER/S-1-5-21-1/payload.exe" "MZ harmless stand-in of the payload"
file "RECYCLER/S-1-5-21-1/DSCI5271.jpg" "MZ harmless stand-in under a picture's name"
file "RECYCLER/S-1-5-21-1/INFO2" "the recycle bin's index"
# What is plainly not the worm, and what delete-all takes.
folder "Docs"
file "Docs/plan.txt" "the plan"
printf '[autorun]\r\nicon=brand.ico\r\nlabel=ACME 16GB\r\n' >"$stick/autorun.inf"
file "brand.ico" "ICO the vendor's icon"
file "Music.lnk" "L"
# A hidden folder "_" with the user's letters, and a legitimate hidden folder.
folder "_";                                  attrib "_" 0x2
file "_/letter.txt" "a letter"
file "_/scan.pdf" "PDF a scan"
folder "_backup";                            attrib "_backup" 0x2
file "_backup/old.txt" "an old backup"

# The user's files: each must stay on the stick exactly once with this content.
user_files=("Photos/holiday.jpg" "Report.doc" "$nbsp/thesis.docx" "$nbsp/Pictures/a.jpg" "$nbsp/README.TXT"
            "readme.txt" "Docs/plan.txt" "brand.ico" "_/letter.txt" "_/scan.pdf" "_backup/old.txt")
declare -A hashes
for f in "${user_files[@]}"; do hashes[$f]=$(sha256sum <"$stick/$f" | cut -d' ' -f1); done

wine_map_drive "$letter" "$stick"
trap 'rm -f "$WINEPREFIX/dosdevices/$letter:"' EXIT
export TIDEWICK_E2E_STICK="${letter^^}:\\"
wine_server_up 30
wine "$links" "${letter^^}:\\" </dev/null

failures=0
fail() { echo "stick_windows_stick: $*" >&2; failures=$((failures + 1)); }
dosattrib() {  # the hidden/system bits Wine keeps for an entry (0 when it keeps none)
  local value
  value=$(getfattr --only-values -n user.DOSATTRIB "$stick/$1" 2>/dev/null | tr -d '\0"') || value=0
  echo $((${value:-0} & 6))
}
# Every user file exactly once, its content unchanged; `moved` maps a file to where it is now.
declare -A now
check_user_files() {
  local f at count hash
  for f in "${user_files[@]}"; do
    at=${now[$f]:-$f}
    hash=${hashes[$f]}
    if [ ! -f "$stick/$at" ]; then fail "user file '$at' is missing"; continue; fi
    [ "$(sha256sum <"$stick/$at" | cut -d' ' -f1)" = "$hash" ] || fail "user file '$at' has changed"
    count=$(find "$stick" -type f -exec sha256sum {} + | awk -v h="$hash" '$1 == h' | wc -l)
    [ "$count" = 1 ] || fail "the content of '$f' is on the stick $count times"
  done
}
gone() { for f; do [ ! -e "$stick/$f" ] || fail "'$f' is still on the stick"; done; }
there() { for f; do [ -e "$stick/$f" ] || fail "'$f' is gone"; done; }
plain() { for f; do [ "$(dosattrib "$f")" = 0 ] || fail "'$f' is not plain (bits $(dosattrib "$f"))"; done; }
show_stick() {
  echo "stick_windows_stick: the stick now:" >&2
  (cd "$stick" && find . -mindepth 1 -printf '%M %p\n' | sort | while read -r mode path; do
    printf '  %s %s %s\n' "$mode" "$path" "$(getfattr --only-values -n user.DOSATTRIB "$path" 2>/dev/null || true)"
  done) >&2
}

phase() {  # phase NUMBER TEST: runs one test of the scenario as its own run
  local rc=0
  "$run" --name "$name.$1" "${options[@]}" -- "$program" --gtest_filter="StickWindows.$2" || rc=$?
  ((rc == 0)) || fail "the scenario's $2 ended with status $rc"
}

# 1. The Shortcuts window deletes the ticked worm shortcuts and the files the worm starts.
phase 1 Phase1ShortcutsWindowDeletesTheWormsFiles
gone "Photos.lnk" "Report.doc.lnk" "USB Drive (1GB).lnk" "x7kq.vbs" "~\$WB.USBDRV" \
  "RECYCLER/S-1-5-21-1/payload.exe" "RECYCLER/S-1-5-21-1/DSCI5271.jpg"
there "Docs.lnk" "Notes.lnk" "Music.lnk" "autorun.inf" "desktop.ini" "RECYCLER/S-1-5-21-1/INFO2" "$nbsp/desktop.ini"
check_user_files
plain "Photos" "Report.doc" "$nbsp" "_" "_backup"

# 2. Delete-all takes the damaged shortcut and the computer's program, keeps the genuine ones.
phase 2 Phase2DeleteAllKeepsWhatIsPlainlyNotTheWorm
gone "Notes.lnk" "Music.lnk"
there "Docs.lnk" "autorun.inf" "Docs"
check_user_files

# 3. Move To Root: the user's entries in the root, the worm's desktop.ini and the clashing
#    README.TXT kept inside, the root's readme.txt not overwritten.
phase 3 Phase3MoveToRootBringsTheDataBack
now["$nbsp/thesis.docx"]="thesis.docx"
now["$nbsp/Pictures/a.jpg"]="Pictures/a.jpg"
there "$nbsp/desktop.ini" "$nbsp/README.TXT"
[ "$(ls -A "$stick/$nbsp" | sort | tr '\n' '|')" = "README.TXT|desktop.ini|" ] ||
  fail "the folder of blanks holds $(ls -A "$stick/$nbsp" | tr '\n' ' ')"
plain "thesis.docx" "Pictures"
check_user_files

# 4. Rename: "_" becomes "Recovered files", visible.
phase 4 Phase4RenameMakesRecoveredFiles
now["_/letter.txt"]="Recovered files/letter.txt"
now["_/scan.pdf"]="Recovered files/scan.pdf"
gone "_"
plain "Recovered files"
there "_backup/old.txt" "$nbsp/README.TXT"
check_user_files

if ((failures)); then
  show_stick
  exit 1
fi
echo "stick_windows_stick: after every command the stick holds what it should"
