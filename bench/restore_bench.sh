#!/usr/bin/env bash
# The Restore Files window's Move To Root against the least program that renames the same
# entries, under Wine (not a test: it prints figures).
#
#   bench/restore_bench.sh [ENTRIES]      (default 5000)
#
# A stick whose root holds only the worm's folder, a hidden folder named by a non-breaking space
# with ENTRIES entries (nine files to every folder, each folder holding one file), is seeded from
# Linux on a drive letter mapped to a folder. Move To Root of frm_restore (bench/restore_driver.cpp:
# the Win32 platform with the journal of changes in front of it, as the program composes it, on
# a headless host; and once more without the journal) and the least program that lists the folder
# and renames every entry into the root (bench/restore_least.cpp) each run on the same letter in
# this one run, alternately, each after the same re-seeding; the medians of five rounds are
# compared, and the best of each (less disturbed by other load on the machine). Goal: ratio at
# most 1.2.
#
# Runs the programs of the Windows build (build/windows, or $BUILD; see bench/lib.sh) in the Wine
# prefix build/restore-wine (or WINEPREFIX); the stick goes to build/restore-bench.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
entries=${1:-5000}
out=$root/build/restore-bench
letter=o

. scripts/lib/wine.sh
. bench/lib.sh
wine_env "${WINEPREFIX:-$root/build/restore-wine}"

echo "== building"
bench_build bench_restore_least bench_restore_driver
programs=$build/bench
mkdir -p "$out"

wine_prefix_ensure
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then unset DISPLAY; xvfb_start; fi
# A server that outlives the single runs (it must not hold this script's output open).
wineserver -p 60 </dev/null >/dev/null 2>&1 || true

stick=$out/stick
nbsp=$'\u00a0'
cleanup() {
  rm -f "$WINEPREFIX/dosdevices/$letter:"
  wineserver -k 2>/dev/null || true  # the prefix is the benchmark's own: its server and services end
  xvfb_stop
}
trap cleanup EXIT

# The worm's folder, hidden and system, full of the user's entries; nothing else in the root.
seed() {
  rm -rf "$stick"
  mkdir -p "$stick/$nbsp"
  (
    cd "$stick/$nbsp"
    local folders=$((entries / 10)) i
    for ((i = 0; i < folders; i++)); do printf 'Folder %05d\n' "$i"; done | xargs -d '\n' mkdir
    for ((i = 0; i < folders; i++)); do printf 'Folder %05d/inside.txt\n' "$i"; done | xargs -d '\n' touch
    for ((i = 0; i < entries - folders; i++)); do printf 'File %05d.doc\n' "$i"; done | xargs -d '\n' touch
  )
  setfattr -n user.DOSATTRIB -v '"0x6"' "$stick/$nbsp"
}
seed
wine_map_drive "$letter" "$stick"
drive="${letter^^}:\\"

field() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p"; }
median() { printf '%s\n' "$@" | sort -g | sed -n "$(( ($# + 1) / 2 ))p"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

echo "== Move To Root of $entries entries on $drive (ms of the work itself, without process start and the window's reading)"
wine "$programs/restore_least.exe" "$drive" c2a0 >/dev/null || true  # warm-up: the first pass fills the caches
least=() driver=() bare=()
for round in 1 2 3 4 5; do
  seed
  l=$(wine "$programs/restore_least.exe" "$drive" c2a0 | tr -d '\r')
  seed
  d=$(wine "$programs/restore_driver.exe" "$drive" | tr -d '\r')
  seed
  b=$(wine "$programs/restore_driver.exe" "$drive" --no-journal | tr -d '\r')
  echo "round $round: least: $l | Move To Root: $d | without the journal: $b"
  least+=("$(echo "$l" | field ms)")
  driver+=("$(echo "$d" | field ms)")
  bare+=("$(echo "$b" | field ms)")
done
least_ms=$(median "${least[@]}")
driver_ms=$(median "${driver[@]}")
bare_ms=$(median "${bare[@]}")
echo "median: least ${least_ms} ms, Move To Root ${driver_ms} ms, ratio $(ratio "$driver_ms" "$least_ms") (goal <= 1.2);" \
     "without the journal ${bare_ms} ms, ratio $(ratio "$bare_ms" "$least_ms")"
least_min=$(printf '%s\n' "${least[@]}" | sort -g | head -1)
driver_min=$(printf '%s\n' "${driver[@]}" | sort -g | head -1)
bare_min=$(printf '%s\n' "${bare[@]}" | sort -g | head -1)
echo "best: least ${least_min} ms, Move To Root ${driver_min} ms, ratio $(ratio "$driver_min" "$least_min");" \
     "without the journal ${bare_min} ms, ratio $(ratio "$bare_min" "$least_min")"
