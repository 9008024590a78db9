#!/usr/bin/env bash
# The drive cleaner's scan and idle benchmark, under Wine (not a test: it prints figures).
#
#   bench/scan_bench.sh [ENTRIES]      (default 10000)
#
# 1. Scan time: a root of ENTRIES entries (half hidden folders, half shortcuts), seeded from
#    Linux on a drive letter mapped to a folder, is scanned by frm_rd's ScanDevice on the Win32
#    platform (bench/scan_driver.cpp, no windows) and by the least program that lists the root
#    and resets every entry's attributes (bench/scan_least.cpp). Both run on the same drive
#    letter in this one run, alternately, each after the same re-seeding; the medians of five
#    rounds are compared, and the best of each (less disturbed by other load on the machine).
#    Goal: ratio at most 1.2.
# 2. Idle CPU: tidewick.exe with "Pen Drive" open, first fresh, then after a scan of the same
#    root through the real window (bench/scan_idle.cpp works the window from outside); the CPU
#    time of the tidewick.exe process, and of every process of the Wine prefix, over 10 s.
#    Goal: under 1% of a core.
#
# Runs the programs of the Windows build (build/windows, or $BUILD; see bench/lib.sh) in the
# Wine prefix build/rd-wine (or WINEPREFIX); the stick and the logs go to build/rd-bench.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
entries=${1:-10000}
out=$root/build/rd-bench
letter=q
idle_seconds=10

. scripts/lib/wine.sh
. bench/lib.sh
wine_env "${WINEPREFIX:-$root/build/rd-wine}"

echo "== building"
bench_build tidewick pskill bench_scan_least bench_scan_driver bench_scan_idle
programs=$build/bench
mkdir -p "$out"

wine_prefix_ensure
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then unset DISPLAY; xvfb_start; fi
# A server that outlives the single runs (it must not hold this script's output open).
wineserver -p 60 </dev/null >/dev/null 2>&1 || true

stick=$out/stick
cleanup() {
  wine_unmap_drive "$letter"
  wineserver -k 2>/dev/null || true  # the prefix is the benchmark's own: its server and services end
  xvfb_stop
}
trap cleanup EXIT

# The infected root: hidden folders (user.DOSATTRIB, as Wine keeps the hidden attribute) and a
# shortcut beside each. Re-seeding hides the folders again after a scan made them visible.
seed() {
  mkdir -p "$stick"
  local half=$((entries / 2)) i
  (
    cd "$stick"
    for ((i = 0; i < half; i++)); do
      printf -v name 'Folder %05d' "$i"
      [ -d "$name" ] || mkdir "$name"
      [ -e "$name.lnk" ] || printf 'L\0\0\0' >"$name.lnk"
      printf '# file: %s\nuser.DOSATTRIB="0x2"\n\n' "$name"
    done >"$out/hide.attrs"
    setfattr --restore="$out/hide.attrs"
  )
}
rm -rf "$stick"
seed
wine_map_drive "$letter" "$stick"
drive="${letter^^}:\\"

field() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p"; }
median() { printf '%s\n' "$@" | sort -g | sed -n "$(( ($# + 1) / 2 ))p"; }

echo "== scan of $entries entries on $drive (ms of the work itself, without process start)"
wine "$programs/scan_least.exe" "$drive" >/dev/null  # warm-up: the first pass fills the caches
least=() driver=()
for round in 1 2 3 4 5; do
  seed
  l=$(wine "$programs/scan_least.exe" "$drive" | tr -d '\r')
  seed
  d=$(wine "$programs/scan_driver.exe" "$drive" | tr -d '\r')
  echo "round $round: least: $l | frm_rd ScanDevice: $d"
  least+=("$(echo "$l" | field ms)")
  driver+=("$(echo "$d" | field ms)")
done
least_ms=$(median "${least[@]}")
driver_ms=$(median "${driver[@]}")
ratio=$(awk -v a="$driver_ms" -v b="$least_ms" 'BEGIN { printf "%.2f", a / b }')
echo "median: least ${least_ms} ms, frm_rd ${driver_ms} ms, ratio ${ratio} (goal <= 1.2)"
least_min=$(printf '%s\n' "${least[@]}" | sort -g | head -1)
driver_min=$(printf '%s\n' "${driver[@]}" | sort -g | head -1)
echo "best: least ${least_min} ms, frm_rd ${driver_min} ms, ratio $(awk -v a="$driver_min" -v b="$least_min" 'BEGIN { printf "%.2f", a / b }')"

# CPU seconds (user + system) of a Linux process.
cpu_of() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || { echo 0; return; }
  stat=${stat##*) }
  # Fields after the name: state is field 3, utime 14, stime 15 (1-based in the full line).
  awk -v hz="$(getconf CLK_TCK)" '{ printf "%.3f", ($12 + $13) / hz }' <<<"$stat"
}
# Linux processes of this Wine prefix (wineserver, the desktop, services, the programs).
prefix_pids() {
  local p
  for p in /proc/[0-9]*; do
    grep -qz "^WINEPREFIX=$WINEPREFIX\$" "$p/environ" 2>/dev/null && echo "${p#/proc/}"
  done
  return 0
}
sum_cpu() {
  local total=0 p
  for p in "$@"; do total=$(awk -v a="$total" -v b="$(cpu_of "$p")" 'BEGIN { printf "%.3f", a + b }'); done
  echo "$total"
}

# The program in a folder of drive C:, with the kill tool beside it (no start-up question).
app_folder=$WINEPREFIX/drive_c/rd-bench
win_app_folder='C:\rd-bench'
rm -rf "$app_folder"
mkdir -p "$app_folder"
cp "$build/app/tidewick.exe" "$build/tools/pskill/pskill.exe" "$app_folder/"

idle() {
  local mode=$1 log=$out/idle-$1.log
  seed
  rm -f "$app_folder/stop"
  wine "$programs/scan_idle.exe" "$win_app_folder" "$drive" "$mode" >"$log" 2>&1 &
  local idler=$!
  local waited=0
  until grep -q READY "$log" 2>/dev/null; do
    if ! kill -0 "$idler" 2>/dev/null || ((waited > 1200)); then
      echo "scan_idle did not get the window ready:"; cat "$log"; return 1
    fi
    sleep 0.5; waited=$((waited + 1))
  done
  grep gui_scan_ms "$log" | tr -d '\r' || true
  local app_pid="" idler_pids="" p
  for p in $(prefix_pids); do
    tr '\0' ' ' <"/proc/$p/cmdline" 2>/dev/null | grep -q 'tidewick\.exe' && app_pid=$p
    tr '\0' ' ' <"/proc/$p/cmdline" 2>/dev/null | grep -q 'scan_idle\.exe' && idler_pids+=" $p"
  done
  [ -n "$app_pid" ] || { echo "tidewick.exe not found among the prefix's processes"; return 1; }
  sleep 1  # let the window settle after the last click
  # Everything of the prefix but the program working the window.
  local pids
  pids=$(prefix_pids | sort -u | grep -vxF -f <(tr ' ' '\n' <<<"$idler_pids" | grep .) || true)
  local app0 all0 app1 all1
  app0=$(cpu_of "$app_pid")
  # shellcheck disable=SC2086
  all0=$(sum_cpu $pids)
  sleep "$idle_seconds"
  app1=$(cpu_of "$app_pid")
  # shellcheck disable=SC2086
  all1=$(sum_cpu $pids)
  touch "$app_folder/stop"
  wait "$idler" || echo "(scan_idle ended with an error: $(tail -1 "$log"))"
  awk -v mode="$mode" -v a0="$app0" -v a1="$app1" -v w0="$all0" -v w1="$all1" -v s="$idle_seconds" 'BEGIN {
    printf "idle (%s): tidewick.exe %.2f%% of a core, with wineserver and the prefix'"'"'s other processes %.2f%% (goal < 1%%)\n",
           mode, 100 * (a1 - a0) / s, 100 * (w1 - w0) / s }'
}

echo "== idle CPU of the open drive cleaner over ${idle_seconds} s"
idle open
idle scanned
