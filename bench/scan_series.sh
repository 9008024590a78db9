#!/usr/bin/env bash
# The drive cleaner's scan through the window at three sizes of root, under Wine (not a test:
# it prints figures).
#
#   bench/scan_series.sh [SIZES]      (default "1000 10000 100000"; ROUNDS=n, default 5)
#
# For each size a root of that many entries (half hidden folders, half shortcut-named files, as
# a stick the worm went through) is seeded from Linux on a drive letter mapped as a removable
# drive, and bench/scan_window.cpp times, in one run of tidewick.exe and in one prefix, the
# scan as the user waits for it (from Yes to the result box) against the least program that
# lists the root and resets every entry's attributes (bench/scan_least.cpp), in alternating
# rounds. Per size: the medians and their ratio, the time per entry of both, the program's
# working set before the first scan and its peak after the last, the peak's growth per entry,
# and the longest time the window took to answer during a scan. Then the growth from the
# smallest size to the largest: per-entry time and memory. Goals: ratio at most 1.1; growth of
# per-entry time and of per-entry memory at most 1.2; the window answers throughout (no wait
# longer than 1 s).
#
# Runs the programs of the Windows build (build/windows, or $BUILD; see bench/lib.sh) in the
# Wine prefix build/series-wine (or WINEPREFIX); the roots and the logs go to build/scan-series
# (logs/series.txt holds the summary lines).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
sizes=(${1:-1000 10000 100000})
rounds=${ROUNDS:-5}
letter=s

. scripts/lib/wine.sh
. bench/lib.sh
wine_env "${WINEPREFIX:-$root/build/series-wine}"

echo "== building" >&2
bench_build tidewick pskill bench_scan_least bench_scan_window
out=$root/build/scan-series
logs=$out/logs
mkdir -p "$logs"

wine_prefix_ensure
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then unset DISPLAY; xvfb_start; fi
# A server that outlives the single runs (it must not hold this script's output open).
wineserver -p 60 </dev/null >/dev/null 2>&1 || true
wine cmd /c exit >/dev/null 2>&1 || true

stick=$out/stick
cleanup() {
  wine_unmap_drive "$letter"
  rm -rf "$stick"
  xvfb_stop
}
trap cleanup EXIT

app_folder=$WINEPREFIX/drive_c/scan-series
win_app_folder='C:\scan-series'
rm -rf "$app_folder"
mkdir -p "$app_folder"
cp "$build/app/tidewick.exe" "$build/tools/pskill/pskill.exe" "$build/bench/scan_least.exe" \
   "$build/bench/scan_window.exe" "$app_folder/"

# seed N: a root of N entries, "Folder 00000" ... (hidden) and "Folder 00000.lnk" ...
seed() {
  local half=$(($1 / 2))
  rm -rf "$stick"
  mkdir -p "$stick"
  (
    cd "$stick"
    seq -f 'Folder %05g' 0 $((half - 1)) | xargs -d '\n' mkdir
    seq -f 'Folder %05g.lnk' 0 $((half - 1)) | xargs -d '\n' touch
    seq -f '# file: Folder %05g' 0 $((half - 1)) | sed 's/$/\nuser.DOSATTRIB="0x2"\n/' >"$out/hide.attrs"
    setfattr --restore="$out/hide.attrs"
  )
}

field() { sed -n "s/.* $1=\([0-9.]*\).*/\1/p" | head -1; }
summary=$logs/series.txt
: >"$summary"
for size in "${sizes[@]}"; do
  echo "== $size root entries, $rounds rounds" >&2
  seed "$size"
  wine_map_drive "$letter" "$stick"
  log=$logs/scan-$size.log
  if ! wine "$win_app_folder\\scan_window.exe" "$win_app_folder" "${letter^^}:\\" "$rounds" >"$log" 2>&1; then
    cat "$log" >&2
    echo "bench: scan_window.exe failed at $size entries" >&2
    exit 1
  fi
  tr -d '\r' <"$log" | grep '^round ' >&2 || true
  tr -d '\r' <"$log" | grep '^series ' >>"$summary"
  wine_unmap_drive "$letter"
done

printf '%-8s | %-9s | %-9s | %-6s | %-6s | %-10s | %-10s | %-9s | %-8s\n' entries least_ms window_ms ratio best "least_us/e" "window_us/e" "bytes/e" "unansw_ms"
while read -r line; do
  printf '%-8s | %-9s | %-9s | %-6s | %-6s | %-10s | %-10s | %-9s | %-8s\n' \
    "$(field entries <<<"$line")" "$(field least_ms <<<"$line")" "$(field window_ms <<<"$line")" \
    "$(field ratio <<<"$line")" "$(field best_ratio <<<"$line")" "$(field least_us_per_entry <<<"$line")" \
    "$(field window_us_per_entry <<<"$line")" "$(field bytes_per_entry <<<"$line")" "$(field unanswered_ms <<<"$line")"
done <"$summary"
if (($(wc -l <"$summary") > 1)); then
  first=$(head -1 "$summary") last=$(tail -1 "$summary")
  awk -v t0="$(field window_us_per_entry <<<"$first")" -v t1="$(field window_us_per_entry <<<"$last")" \
      -v m0="$(field bytes_per_entry <<<"$first")" -v m1="$(field bytes_per_entry <<<"$last")" \
      -v n0="$(field entries <<<"$first")" -v n1="$(field entries <<<"$last")" 'BEGIN {
    printf "growth from %d to %d entries: per-entry time %.2f, per-entry memory %.2f (goal <= 1.2 each)\n",
           n0, n1, t1 / t0, (m0 > 0 ? m1 / m0 : 0) }'
fi
