#!/usr/bin/env bash
# The report of changes end to end: a stick seeded from Linux, the run, and afterwards the
# report's lines compared with the stick and the registry as Linux sees them.
#
#   tests/e2e/report_stick.sh RUN-SCENARIO [run-scenario options...] -- PROGRAM [args...]
#
# Seeds a folder as the shortcut virus leaves a stick (hidden and system entries through Wine's
# user.DOSATTRIB attribute, read-only ones as the missing write permission), maps it to V: and
# runs the scenario (report_e2e.cpp) through run-scenario.sh with
#   TIDEWICK_E2E_STICK     the stick's root, "V:\"
#   TIDEWICK_E2E_REPORTS   a Windows folder where the scenario saves the report of the stick
# Afterwards, from Linux:
#   - the lines of the saved report (the changes of "Scan of V:\" and "Delete") equal, one for
#     one, what a comparison of the stick before and after gives: a line "Attributes of ..." for
#     every entry whose hidden, system or read-only state changed, a line "Deleted: ... (N
#     bytes)" for every entry that is gone, and for a gone root entry that was not plain the
#     scan's "Attributes of ...: <as before> -> plain" (the scan makes every root entry plain;
#     the comparison sees only that the entry went, and checks the state it had); every entry
#     left has its content, nothing appeared; every refusal names an entry still there;
#   - `wine reg query /s` of the registry trees the computer cleaner touches shows the same
#     before and after the run: the scenario's "Undo Registry Changes" put everything back.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/scripts/lib/wine.sh"
(($# >= 2)) || { sed -n '5p' "$0" >&2; exit 2; }
run=$1
shift

letter=v
name=e2e.report
work=$root/build/e2e/drives/$name-stick
stick=$work/stick
wine_env "${WINEPREFIX:-$root/build/e2e-wine}"
wine_prefix_ensure
reports_linux=$WINEPREFIX/drive_c/tidewick-e2e/$name-reports
reports_windows="C:\\tidewick-e2e\\$name-reports"

chmod -R u+w "$work" 2>/dev/null || true
rm -rf "$work" "$reports_linux"
mkdir -p "$stick" "$reports_linux"

attrib() { setfattr -n user.DOSATTRIB -v "\"$2\"" "$stick/$1"; }  # 0x2 hidden, 0x4 system, 0x20 archive
folder() { mkdir -p "$stick/$1"; }
file() { printf '%s\n' "${2:-content of $1}" >"$stick/$1"; }

folder "Photos";                   attrib "Photos" 0x26
file "Photos/holiday.jpg" "JPEG holiday"
file "Photos/inner-hidden.txt";    attrib "Photos/inner-hidden.txt" 0x22
file "Photos.lnk" "shortcut to Photos"
folder "Documents";                attrib "Documents" 0x22
file "Documents.lnk" "shortcut to Documents, a little longer"
file "Budget 2024.xlsx";           attrib "Budget 2024.xlsx" 0x22
file "Budget 2024.xlsx.lnk" "L"
folder "ছবি";                      attrib "ছবি" 0x22
file "ছবি.lnk" "shortcut"
file "Photos.exe" "MZ program";    attrib "Photos.exe" 0x26
file "autorun.inf" "[autorun]";    attrib "autorun.inf" 0x26; chmod a-w "$stick/autorun.inf"
file "x7kq.vbs" "WScript.Echo";    attrib "x7kq.vbs" 0x26
file "notes.txt";                  attrib "notes.txt" 0x22; chmod a-w "$stick/notes.txt"
file "plain.txt";                  attrib "plain.txt" 0x20
folder "Music.lnk"
file "Music.lnk/song.mp3"
folder "System Volume Information"
file "desktop.ini" "[.ShellClassInfo]"
file "Desktop Folder.ini" "not the drive's own"

# stick_state snapshot STICK FILE: every path below the root with its kind, size, a digest of
#   its content, its hidden/system bits (user.DOSATTRIB) and whether it may be written.
# stick_state check STICK BEFORE REPORT LETTER: the report's change lines against the stick now.
stick_state() {
  PYTHONPATH="$root/tests/e2e" python3 - "$@" <<'PY'
import json, sys

from stick_tree import state

def words(entry):
    said = [w for w, on in (("read-only", not entry["writable"]), ("hidden", entry["bits"] & 2),
                            ("system", entry["bits"] & 4)) if on]
    return ", ".join(said) if said else "plain"

def report_lines(path):
    """The detail lines of the report, by section title, in order."""
    with open(path, encoding="utf-8", newline="") as f:
        text = f.read()
    sections, blanks, details = [], 0, False
    for line in text.split("\r\n"):
        if not line:
            blanks += 1
            details = details or blanks >= 2
            continue
        if not details:
            continue
        if line.startswith("    "):
            sections[-1][1].append(line[4:])
        else:
            sections.append((line[10:], []))
    return sections

mode, stick = sys.argv[1], sys.argv[2]
if mode == "snapshot":
    with open(sys.argv[3], "w", encoding="utf-8") as f:
        json.dump(state(stick), f, ensure_ascii=False, sort_keys=True)
    sys.exit(0)

with open(sys.argv[3], encoding="utf-8") as f:
    before = json.load(f)
root = sys.argv[5].upper() + ":\\"
now = state(stick)
problems = []
expected = []
for rel, was in sorted(before.items()):
    shown = root + rel.replace("/", "\\")
    if rel not in now:
        expected.append(f"Deleted: {shown} ({was['size']} byte{'' if was['size'] == 1 else 's'})" if was["kind"] == "f"
                        else f"Deleted: {shown}")
        # The scan made it plain before Delete took it: that change shows in no comparison of
        # the stick, but its "before" does.
        if "/" not in rel and words(was) != "plain":
            expected.append(f"Attributes of {shown}: {words(was)} -> plain")
        continue
    new = now[rel]
    if (new["kind"], new["digest"]) != (was["kind"], was["digest"]):
        problems.append(f"'{rel}' changed its content ({was} -> {new})")
    if words(new) != words(was):
        expected.append(f"Attributes of {shown}: {words(was)} -> {words(new)}")
for rel in sorted(set(now) - set(before)):
    problems.append(f"'{rel}' appeared on the stick")

sections = report_lines(sys.argv[4])
titles = [title for title, _ in sections]
wanted = {f"Scan of {root}", "Delete"}
if not wanted <= set(titles):
    problems.append(f"the report has no sections {sorted(wanted - set(titles))}; it has {titles}")
shown_lines, refused = [], []
for title, lines in sections:
    if title not in wanted:
        continue
    for line in lines:
        if line.startswith("Refused: "):
            refused.append(line)
        elif line != "Nothing was changed.":
            shown_lines.append(line)
missing = sorted(set(expected) - set(shown_lines))
extra = sorted(set(shown_lines) - set(expected))
if sorted(shown_lines) != sorted(expected):
    for line in missing:
        problems.append(f"the comparison shows, the report does not: {line}")
    for line in extra:
        problems.append(f"the report shows, the comparison does not: {line}")
    if not missing and not extra:
        problems.append("the report shows a change more than once")
for line in refused:
    target = line.split(": ", 1)[1].split(": ", 1)[0]
    if target.startswith("delete "):
        target = target[len("delete "):]
    target = target.split(" (")[0]
    rel = target[len(root):].replace("\\", "/") if target.startswith(root) else None
    if rel is None or rel not in now or rel not in before:
        problems.append(f"a refusal names what is not on the stick: {line}")
if not refused:
    problems.append("the report names no refusal, but Music.lnk (a folder) could not be deleted")
for problem in problems:
    print("report_stick:", problem, file=sys.stderr)
if problems:
    sys.exit(1)
print(f"report_stick: the report's {len(shown_lines)} change lines are the stick's changes, one for one; "
      f"{len(refused)} refusal(s) name entries still there")
PY
}

# The registry trees the computer cleaner's commands touch, as `wine reg query /s` lists them.
registry_trees() {
  local key
  for key in 'HKCU\Software\Policies' 'HKLM\Software\Policies' \
    'HKCU\Software\Microsoft\Windows\CurrentVersion\Policies' \
    'HKLM\Software\Microsoft\Windows\CurrentVersion\Policies' \
    'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Advanced' \
    'HKLM\Software\Microsoft\Windows\CurrentVersion\Explorer\Advanced' \
    'HKCU\Software\Microsoft\Windows\CurrentVersion\Run'; do
    echo "== $key"
    wine reg query "$key" /s 2>&1 | tr -d '\r' || true
  done
}

stick_state snapshot "$stick" "$work/before.json"
wine_server_up 30
registry_trees >"$work/registry-before.txt"

wine_map_drive "$letter" "$stick"
trap 'wine_unmap_drive "$letter"' EXIT
export TIDEWICK_E2E_STICK="${letter^^}:\\"
export TIDEWICK_E2E_REPORTS="$reports_windows"

rc=0
"$run" "$@" || rc=$?

# ---- Afterwards, from Linux ----
if [ -f "$reports_linux/stick-report.txt" ]; then
  stick_state check "$stick" "$work/before.json" "$reports_linux/stick-report.txt" "$letter" || { ((rc)) || rc=1; }
else
  echo "report_stick: the scenario saved no report of the stick" >&2
  ((rc)) || rc=1
fi
wine_server_up 30
registry_trees >"$work/registry-after.txt"
if ! diff -u "$work/registry-before.txt" "$work/registry-after.txt" >&2; then
  echo "report_stick: the registry trees differ after the undo (above)" >&2
  ((rc)) || rc=1
else
  echo "report_stick: the registry trees the cleaner touched are as before the run"
fi
exit "$rc"
