#!/usr/bin/env bash
# The drive cleaner's bad-input corpus: a stick root seeded from Linux with 2,000 ordinary
# infected-stick entries and the awkward names a stick can carry, run end to end, and checked
# afterwards from Linux.
#
#   tests/e2e/bad_input_stick.sh RUN-SCENARIO [run-scenario options...] -- PROGRAM [args...]
#
# Seeds a folder (hidden and system entries through Wine's user.DOSATTRIB attribute, read-only
# as the missing write permission, names Windows itself could not create: trailing dots and
# spaces, device names, " | "), maps it to W: in the scenario's Wine prefix and runs the scenario
# through run-scenario.sh with
#   TIDEWICK_E2E_STICK            the stick's root, "W:\"
#   TIDEWICK_E2E_STICK_MANIFEST   the Windows path of the corpus table (below)
# Afterwards it checks from Linux that exactly the entries meant to go are gone, that everything
# else is there with its content, that nothing inside a folder changed, and the attributes the
# scan leaves on each root entry.
#
# The corpus table has one line per root entry, tab-separated:
#   name  kind  scan  mark  fate  shown  after
#   kind   f file, d folder (holding files of its own)
#   scan   the list the scan puts it in: virus, unknown or -
#   mark   1 when the scenario marks it in the unknown list before Delete
#   fate   after Delete: gone, stays, or refused (stays, with a "Cannot delete file" message)
#   shown  its attributes after the scan: plain (not hidden, system or read-only) or hs (hidden
#          and system: the drive's own entries)
#   after  the list(s) that show it once Delete has rebuilt them: virus, unknown, both or -
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/lib/wine.sh"
(($# >= 2)) || { sed -n '6p' "$0" >&2; exit 2; }
run=$1
shift

letter=w
work=$root/build/e2e/drives/e2e.bad_input_drive
stick=$work/stick
before=$work/before.json
wine_env "${WINEPREFIX:-$root/build/e2e-wine}"
wine_prefix_ensure
manifest_dir=$WINEPREFIX/drive_c/tidewick-e2e
manifest=$manifest_dir/bad_input_stick.tsv

chmod -R u+w "$work" 2>/dev/null || true
rm -rf "$work"
mkdir -p "$stick" "$manifest_dir"
: >"$manifest"

nbsp=$'\u00a0'

# stick_state snapshot STICK FILE: every path below the root with its kind, a digest of its
#   content, its hidden/system bits as Wine keeps them (user.DOSATTRIB) and whether it is
#   writable.
# stick_state check STICK BEFORE MANIFEST: compares the stick now with the snapshot: an entry
#   is gone exactly when the table says so; everything else is there with its content; nothing
#   inside a folder changed; the root entries carry the attributes the table gives; nothing new
#   appeared.
stick_state() {
  PYTHONPATH="$root/tests/e2e" python3 - "$@" <<'PY'
import json, os, sys

from stick_tree import state

mode, stick = sys.argv[1], sys.argv[2]
if mode == "snapshot":
    with open(sys.argv[3], "w", encoding="utf-8") as f:
        json.dump(state(stick), f, ensure_ascii=False, sort_keys=True, indent=0)
    sys.exit(0)

with open(sys.argv[3], encoding="utf-8") as f:
    before = json.load(f)
table = {}
with open(sys.argv[4], encoding="utf-8") as f:
    for line in f.read().split("\n"):
        if line:
            name, kind, scan, mark, fate, shown, after = line.split("\t")
            table[name] = (fate, shown)
now = state(stick)
problems = []
for rel, was in sorted(before.items()):
    top = rel.split(os.sep)[0]
    if top not in table:
        problems.append(f"'{top}' is on the stick but not in the corpus table")
        continue
    fate, shown = table[top]
    if fate == "gone":
        if rel in now:
            problems.append(f"'{rel}' should have been deleted")
        continue
    if rel not in now:
        problems.append(f"'{rel}' was deleted")
        continue
    new = now[rel]
    if new["kind"] != was["kind"] or new["digest"] != was["digest"]:
        problems.append(f"'{rel}' changed ({was} -> {new})")
    if rel == top:
        if shown == "plain" and (new["bits"] != 0 or not new["writable"]):
            problems.append(f"'{rel}' is not plain visible: {new}")
        if shown == "hs" and new["bits"] != 6:
            problems.append(f"'{rel}' is not hidden and system: {new}")
    elif (new["bits"], new["writable"]) != (was["bits"], was["writable"]):
        problems.append(f"the attributes of '{rel}' inside a folder changed ({was} -> {new})")
for rel in sorted(set(now) - set(before)):
    problems.append(f"'{rel}' appeared on the stick")
for problem in problems[:40]:
    print("bad_input_stick:", problem, file=sys.stderr)
if problems:
    print(f"bad_input_stick: {len(problems)} difference(s) on the stick", file=sys.stderr)
    sys.exit(1)
print(f"bad_input_stick: the stick holds exactly what it should ({len(now)} paths checked)")
PY
}

# put KIND NAME SCAN MARK FATE SHOWN AFTER [DOSATTRIB|-] [ro]
# Creates one root entry and writes its line of the table. A folder holds a file, a hidden file
# and, for the read-only case, a read-only file, none of which may change.
put() {
  local kind=$1 name=$2 scan=$3 mark=$4 fate=$5 shown=$6 after=$7 attr=${8:--} mode=${9:-}
  local path=$stick/$name
  if [ "$kind" = d ]; then
    mkdir "$path"
    printf 'inside %s\n' "$name" >"$path/inside.txt"
    printf 'hidden inside %s\n' "$name" >"$path/hidden.lnk"
    setfattr -n user.DOSATTRIB -v '"0x22"' "$path/hidden.lnk"
    if [ "$mode" = ro ]; then
      printf 'read-only inside %s\n' "$name" >"$path/old.txt"
      chmod a-w "$path/old.txt"
    fi
  else
    printf 'corpus entry %s\n' "$name" >"$path"
  fi
  [ "$attr" = - ] || setfattr -n user.DOSATTRIB -v "\"$attr\"" "$path"
  [ "$mode" != ro ] || chmod a-w "$path"
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$name" "$kind" "$scan" "$mark" "$fate" "$shown" "$after" >>"$manifest"
}
# The usual shapes.
hidden_folder() { put d "$1" - 0 stays plain - 0x22; }          # what the virus hid
shortcut() { put f "$1" virus 0 gone plain - "${2:-0x20}"; }     # what it left beside it
document() { put f "$1" - 0 stays plain - "${2:-0x20}"; }        # the user's, never listed
program() {                                                      # NAME MARKED [DOSATTRIB]
  if [ "$2" = 1 ]; then put f "$1" unknown 1 gone plain - "${3:-0x20}"
  else put f "$1" unknown 0 stays plain unknown "${3:-0x20}"; fi
}

# ---- 2,000 entries of an infected stick ----
for i in $(seq -w 1 450); do
  hidden_folder "Folder $i"
  shortcut "Folder $i.lnk"
done
for i in $(seq -w 1 500); do document "Document $i.docx"; done
for i in $(seq -w 1 300); do
  # Every hundredth program from the seventh on is marked.
  if [ $((10#$i % 100)) = 7 ]; then program "Setup $i.exe" 1; else program "Setup $i.exe" 0; fi
done
for i in $(seq -w 1 150); do shortcut "script $i.vbs" 0x26; done
for i in $(seq -w 1 150); do document "Photo $i.jpg" 0x22; done

# ---- Names outside the legacy code page ----
for name in "ছবি" "照片" "صور" "🎉 Party"; do
  hidden_folder "$name"
  shortcut "$name.lnk"
done
document "রিপোর্ট.docx" 0x22
program "程序.exe" 1 0x26
program "😀.exe" 0
document "تقرير.pdf" 0x22

# ---- Long names, and paths beyond 260 characters inside folders ----
long() { printf "%${2}s" "" | tr ' ' "$1"; }
shortcut "$(long L 251).lnk"
document "$(long D 250).docx"
hidden_folder "$(long F 255)"                 # W:\FFF...\inside.txt is 269 characters long
program "$(long E 251).exe" 1
put d "Deep" - 0 stays plain - 0x22
deep=$stick/Deep
for level in $(seq -w 1 10); do deep=$deep/level-$level-abcdefghijklmnopqrstuvwxyz; done
mkdir -p "$deep"
printf 'deepest\n' >"$deep/deepest.txt"   # W:\Deep\...\deepest.txt: 366 characters
printf 'deep shortcut\n' >"$deep/deep.lnk"
printf 'deep script\n' >"$deep/inner.vbs"
setfattr -n user.DOSATTRIB -v '"0x26"' "$deep/inner.vbs"

# ---- Trailing dots and spaces ----
document "report.lnk."          # ends in a dot, not in .lnk: shown, not listed
shortcut "report.lnk"           # its neighbour without the dot goes, the dotted one stays
document "notes. " 0x22
document "Holiday.lnk " 0x22
program "trail.exe." 1
program "trail.exe" 0
hidden_folder "Summer."

# ---- Device names ----
document "con" 0x22
document "nul"
shortcut "aux.lnk" 0x26
shortcut "com1.vbs" 0x26
program "lpt1.exe" 1
document "prn.docx"

# ---- [ ] # ----
hidden_folder "[Backup] #1"
shortcut "[Backup] #1.lnk"
document "Invoice #12 [final].docx"
program "[setup].exe" 1
shortcut "#1 [draft.lnk"

# ---- " | " and the other characters Windows refuses in paths: Wine lists such a name but no
# call given its path reaches it, so it cannot be deleted (and is reported) ----
put f "a | b.lnk" virus 0 refused plain virus
put f "what?.lnk" virus 0 refused plain virus
put f "st*r.vbs" virus 0 refused plain virus
document "Notes | 2024.docx"
program "tool | x.exe" 0

# ---- A non-breaking space ----
hidden_folder "Photos${nbsp}Trip"
shortcut "Photos${nbsp}Trip.lnk"
document "Photos Trip.docx"

# ---- Read-only ----
put d "Archive" - 0 stays plain - 0x22 ro
put d "Backup.lnk" virus 0 refused plain virus 0x22 ro   # a folder named like a shortcut
put f "secret.vbs" virus 0 gone plain - 0x26 ro
put f "autorun.inf" virus 0 gone plain - 0x26 ro

# ---- A virus extension that does not end the name ----
document "Minutes.information.docx"
document "www.company.com invoice.pdf"
document "photos.lnk.jpg"
put f "a.exe.lnk" unknown 0 stays plain both    # ".exe" first on a scan; the rebuild sees .lnk

# ---- The drive's own entries: hidden and system again after the scan ----
put d "System Volume Information" - 0 stays hs -
put f "desktop.ini" - 0 stays hs -
put d "\$RECYCLE.BIN" - 0 stays hs - 0x26

# What is on the stick now, for the comparison afterwards.
stick_state snapshot "$stick" "$before"
entries=$(wc -l <"$manifest")
echo "bad_input_stick: seeded $entries root entries in ${stick#"$root"/}"

wine_map_drive "$letter" "$stick"
trap 'wine_unmap_drive "$letter"' EXIT
export TIDEWICK_E2E_STICK="${letter^^}:\\"
export TIDEWICK_E2E_STICK_MANIFEST='C:\tidewick-e2e\bad_input_stick.tsv'

rc=0
"$run" "$@" || rc=$?

# ---- The stick afterwards, seen from Linux ----
if ! stick_state check "$stick" "$before" "$manifest"; then
  ((rc)) || rc=1
fi
exit "$rc"
