#!/usr/bin/env bash
# The benchmark report: every speed, CPU, size and memory figure of Tidewick under Wine, with
# its goal, in one table (not a test: CTest never runs it).
#
#   bench/report.sh
#
# Runs the programs of the Windows build (build/windows, the windows preset: MinSizeRel,
# stripped; or $BUILD, configured the same way; see bench/lib.sh) in the Wine prefix
# build/bench-wine (or WINEPREFIX) under Xvfb when there is no display. Progress goes to
# stderr, the table to stdout; the full output of each step is kept in bench/logs of the build
# folder. Exit status 1 when a figure could not be measured; a missed goal is shown in the
# table only.
#
# How each figure is obtained:
# 1. Scan: bench/scan_bench.sh 10000 is run on this build and prefix and its median line
#    read: the drive
#    cleaner's ScanDevice over a mapped root of 10,000 entries (half hidden folders, half
#    shortcuts) against the least program listing the root and resetting every entry's
#    attributes; medians of five alternating rounds, each after the same re-seeding; ratio of
#    the medians (the ratio of the best rounds, less disturbed by other load, is shown beside
#    it). Goal: at most 1.2.
# 2. Idle CPU: bench/idle_cpu.cpp starts the real tidewick.exe and works it with the end-to-end
#    driver: "Pen Drive" open (fresh, then after scanning a 10,000-entry root, lists full) and
#    "Computer" open, each left alone 1 s, then measured over 10 s: the CPU time of the
#    tidewick.exe process as a % of one core: GetThreadTimes over its threads, since Wine 8
#    answers GetProcessTimes (through OpenProcess) for another process with fixed figures. The wineserver's share over the same 10 s is read from /proc here.
#    Goal: under 1 %.
# 3. Delay: bench/delay_cpu.sh is run on this build and prefix and its "idle" row read: the CPU
#    time of ten Function::Delay(1000) waits against their wall time. Goal: under 2 %.
# 4. Start-up: bench/startup.cpp starts bench/minimal_window.cpp (registers a class, creates and
#    shows "Minimal") and tidewick.exe (pskill.exe beside it) alternately, 15 times each after
#    one uncounted start of each, timing from just before CreateProcess to the window being
#    visible (FindWindow + IsWindowVisible polled about every ms); ratio of the medians, and
#    beside it the ratio of the fastest starts (least disturbed by other load). Goal: at most 1.3.
# 5. Sizes: the files tidewick.exe and pskill.exe as built here. Goal: tidewick.exe at most
#    1.5 MiB.
# 6. Peak working set: GetProcessMemoryInfo's PeakWorkingSetSize of tidewick.exe, read by
#    idle_cpu.exe after both cleaners were open and the scan of step 2 ran, before the program
#    ends, against the same figure of tidewick.exe right after its main window showed in step 4
#    (and, for scale, that of minimal_window.exe, what Wine itself maps into any windowed
#    process). Goals: at most 16 MiB, and at most 4 MiB above the main-window figure.
# 7. Scan through the window: bench/scan_series.sh on this build and prefix: the scan as the
#    user waits for it, from Yes to the result box, against the least program, alternating in
#    one run of tidewick.exe, at 1,000, 10,000 and 100,000 root entries (bench/scan_window.cpp).
#    Goals: at 10,000 entries at most 1.1 times the least program; per-entry time and per-entry
#    growth of the peak working set at 100,000 at most 1.2 times those at 1,000; the window
#    answers within 1 s throughout every scan.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
entries=10000
idle_seconds=10
startup_runs=15
letter=p  # the drive the idle run scans (scan_bench.sh maps its own)

. scripts/lib/wine.sh
. bench/lib.sh
wine_env "${WINEPREFIX:-$root/build/bench-wine}"
say() { echo "== $*" >&2; }
failed=0

# ---- build -----------------------------------------------------------------------------------
say "bringing the Windows build ${BUILD:-build/windows} up to date"
# Every program of the table, those of the two scripts included, so that a failed build shows
# before the first figure.
bench_build tidewick pskill bench_minimal_window bench_startup bench_idle_cpu bench_delay_cpu \
  bench_scan_least bench_scan_driver bench_scan_idle
# The sizes are those of the shipped files only when the build is the windows preset's.
if ! grep -qx 'CMAKE_BUILD_TYPE:STRING=MinSizeRel' "$build/CMakeCache.txt" ||
   ! grep -Eq '^CMAKE_EXE_LINKER_FLAGS_MINSIZEREL:[A-Z]*=(.* )?-s( .*)?$' "$build/CMakeCache.txt"; then
  echo "bench: $build is not built as the windows preset (MinSizeRel, linked with -s)" >&2
  exit 1
fi
out=$build/bench
logs=$out/logs
mkdir -p "$logs"
app_exe=$build/app/tidewick.exe
kill_exe=$build/tools/pskill/pskill.exe

# ---- Wine --------------------------------------------------------------------------------------
say "Wine prefix $WINEPREFIX"
wine_prefix_ensure
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then unset DISPLAY; xvfb_start; fi
stick=$out/stick
cleanup() {
  wine_unmap_drive "$letter"
  rm -rf "$stick"
  wineserver -k 2>/dev/null || true  # the prefix is the report's own: its server and services end
  xvfb_stop
}
trap cleanup EXIT
# A server that outlives the single runs (it must not hold this script's output open).
wineserver -p 60 </dev/null >/dev/null 2>&1 || true
wine cmd /c exit >/dev/null 2>&1 || true  # the prefix's own start-up stays out of the figures

# The programs in a folder of drive C:, the kill tool beside tidewick.exe (no start-up question).
app_folder=$WINEPREFIX/drive_c/tidewick-bench
win_app_folder='C:\tidewick-bench'
rm -rf "$app_folder"
mkdir -p "$app_folder"
cp "$app_exe" "$kill_exe" "$out/minimal_window.exe" "$out/startup.exe" "$out/idle_cpu.exe" "$app_folder/"

# User plus system CPU of the prefix's wineserver so far, in ms (0 when it cannot be found).
# The server works in a folder named after the prefix's device and inode.
server_pid() {
  local dir pid
  dir=server-$(printf '%x-%x' $(stat -c '%d %i' "$WINEPREFIX"))
  for pid in $(pgrep -x wineserver64 || true) $(pgrep -x wineserver || true); do
    case "$(readlink "/proc/$pid/cwd" 2>/dev/null)" in */"$dir") echo "$pid"; return ;; esac
  done
}
server_ms() {
  [ -n "$1" ] && [ -r "/proc/$1/stat" ] || { echo 0; return; }
  local stat
  stat=$(cat "/proc/$1/stat")
  stat=${stat##*) }
  awk -v hz="$(getconf CLK_TCK)" '{ print ($12 + $13) * 1000 / hz }' <<<"$stat"
}
now_ms() { date +%s%3N; }
field() { sed -n "s/.* $1=\([0-9.]*\).*/\1/p" | head -1; }

# ---- 5. sizes ----------------------------------------------------------------------------------
app_bytes=$(stat -c %s "$app_exe")
kill_bytes=$(stat -c %s "$kill_exe")

# ---- 4. start-up -------------------------------------------------------------------------------
say "start-up: tidewick.exe against minimal_window.exe, $startup_runs starts each"
startup_ok=1
if wine "$win_app_folder\\startup.exe" "$win_app_folder" "$startup_runs" >"$logs/startup.log" 2>&1; then
  tr -d '\r' <"$logs/startup.log" >"$logs/startup.txt"
  minimal_ms=$(grep 'program=minimal_window ' "$logs/startup.txt" | field median_ms)
  app_start_ms=$(grep 'program=tidewick ' "$logs/startup.txt" | field median_ms)
  minimal_best=$(grep 'program=minimal_window ' "$logs/startup.txt" | field best_ms)
  app_start_best=$(grep 'program=tidewick ' "$logs/startup.txt" | field best_ms)
  minimal_peak_kb=$(grep 'program=minimal_window ' "$logs/startup.txt" | field peak_working_set_kb)
  app_start_peak_kb=$(grep 'program=tidewick ' "$logs/startup.txt" | field peak_working_set_kb)
  [ -n "$minimal_ms" ] && [ -n "$app_start_ms" ] || startup_ok=0
else
  startup_ok=0
fi

# ---- 2 and 6. idle CPU and peak working set ----------------------------------------------------
say "idle CPU of the cleaner windows (${idle_seconds} s each) and peak working set"
# The infected root: hidden folders (user.DOSATTRIB, as Wine keeps the hidden attribute) and a
# shortcut beside each, as scan_bench.sh makes it.
rm -rf "$stick"
mkdir -p "$stick"
(
  cd "$stick"
  for ((i = 0; i < entries / 2; i++)); do
    printf -v name 'Folder %05d' "$i"
    mkdir "$name"
    printf 'L\0\0\0' >"$name.lnk"
    printf '# file: %s\nuser.DOSATTRIB="0x2"\n\n' "$name"
  done >"$out/hide.attrs"
  setfattr --restore="$out/hide.attrs"
)
wine_map_drive "$letter" "$stick"
idle_log=$logs/idle_cpu.log
: >"$idle_log"
wine "$win_app_folder\\idle_cpu.exe" "$win_app_folder" "${letter^^}:\\" "$idle_seconds" >"$idle_log" 2>&1 &
idler=$!
server=$(server_pid)
declare -A server_share=()
measuring="" server0=0 wall0=0
# Follows the program's lines: from "MEASURE name" to its "idle window=name" line, the
# wineserver's CPU over the wall time between them.
while kill -0 "$idler" 2>/dev/null || [ -n "$measuring" ]; do
  if [ -z "$measuring" ]; then
    measuring=$(tr -d '\r' <"$idle_log" | sed -n 's/^MEASURE //p' | grep -vxF -f <(printf '%s\n' "${!server_share[@]}" x) | head -1 || true)
    if [ -n "$measuring" ]; then server0=$(server_ms "$server"); wall0=$(now_ms); fi
  elif tr -d '\r' <"$idle_log" | grep -q "^idle window=$measuring "; then
    server_share[$measuring]=$(awk -v s="$(server_ms "$server")" -v s0="$server0" -v w="$(now_ms)" -v w0="$wall0" \
      'BEGIN { printf "%.2f", 100 * (s - s0) / (w - w0) }')
    measuring=""
    continue
  elif ! kill -0 "$idler" 2>/dev/null; then
    measuring=""
  fi
  sleep 0.05
done
idle_ok=1
wait "$idler" || idle_ok=0
wine_unmap_drive "$letter"
tr -d '\r' <"$idle_log" >"$logs/idle_cpu.txt"
idle_of() { grep "^idle window=$1 " "$logs/idle_cpu.txt" | field percent; }
rd_idle=$(idle_of pen_drive)
rd_scanned_idle=$(idle_of pen_drive_scanned)
cc_idle=$(idle_of computer)
peak_kb=$(grep '^memory ' "$logs/idle_cpu.txt" | field peak_working_set_kb)
gui_scan_ms=$(grep '^scan ' "$logs/idle_cpu.txt" | field ms)
[ -n "$rd_idle" ] && [ -n "$rd_scanned_idle" ] && [ -n "$cc_idle" ] && [ -n "$peak_kb" ] || idle_ok=0

# ---- 3. Delay(1000) ----------------------------------------------------------------------------
say "Delay(1000): bench/delay_cpu.sh"
delay_ok=1
if BUILD=$build bench/delay_cpu.sh >"$logs/delay_cpu.log" 2>&1; then
  # mode waits wall_ms cpu_ms cpu_% server_cpu_% timer_msgs
  read -r delay_cpu delay_server < <(awk '$1 == "idle" && NF == 7 { print $5, $6 }' "$logs/delay_cpu.log") || true
  [ -n "${delay_cpu:-}" ] || delay_ok=0
else
  delay_ok=0
fi

# ---- 1. scan -----------------------------------------------------------------------------------
say "scan of $entries entries: bench/scan_bench.sh $entries"
scan_ok=1
if BUILD=$build bench/scan_bench.sh "$entries" >"$logs/scan_bench.log" 2>&1; then
  # "median: least 1473.0 ms, frm_rd 1983.8 ms, ratio 1.35 (goal <= 1.2)"
  read -r least_ms scan_ms < <(sed -n 's/^median: least \([0-9.]*\) ms, frm_rd \([0-9.]*\) ms.*/\1 \2/p' \
    "$logs/scan_bench.log") || true
  # "best: least 583.5 ms, frm_rd 623.9 ms, ratio 1.07": the least disturbed rounds
  scan_best=$(sed -n 's/^best: .*ratio \([0-9.]*\).*/\1/p' "$logs/scan_bench.log")
  [ -n "${least_ms:-}" ] || scan_ok=0
else
  scan_ok=0
fi

# ---- 7. scan through the window, three sizes ---------------------------------------------------
say "scan through the window at 1000, 10000 and 100000 entries: bench/scan_series.sh"
series_ok=1
if BUILD=$build bench/scan_series.sh "1000 10000 100000" >"$logs/scan_series.log" 2>&1; then
  series_summary=$root/build/scan-series/logs/series.txt
  s1k=$(grep ' entries=1000 ' "$series_summary" || true)
  s10k=$(grep ' entries=10000 ' "$series_summary" || true)
  s100k=$(grep ' entries=100000 ' "$series_summary" || true)
  [ -n "$s1k" ] && [ -n "$s10k" ] && [ -n "$s100k" ] || series_ok=0
else
  series_ok=0
fi

# ---- the table ---------------------------------------------------------------------------------
row() { printf '| %-52s | %-40s | %-10s | %-6s |\n' "$@"; }
# verdict VALUE OP GOAL: pass or FAIL
verdict() { awk -v v="$1" -v g="$3" -v op="$2" 'BEGIN { ok = (op == "<") ? v < g : v <= g; print ok ? "pass" : "FAIL" }'; }
missing() { row "$1" "not measured (see $2)" "$3" "ERROR"; failed=1; }
mib() { awk -v b="$1" 'BEGIN { printf "%.2f", b / 1048576 }'; }

row "Figure" "Measured" "Goal" "Result"
row "$(printf -- '-%.0s' {1..52})" "$(printf -- '-%.0s' {1..40})" "----------" "------"
if ((scan_ok)); then
  ratio=$(awk -v a="$scan_ms" -v b="$least_ms" 'BEGIN { printf "%.2f", a / b }')
  row "Scan of $entries root entries, frm_rd / least program" "$ratio ($scan_ms / $least_ms ms; best ${scan_best:-?})" "<= 1.2" "$(verdict "$ratio" "<=" 1.2)"
else
  missing "Scan of $entries root entries, frm_rd / least program" "logs/scan_bench.log" "<= 1.2"
fi
if ((series_ok)); then
  of() { field "$1" <<<"$2"; }
  row "Scan of 10000 entries through the window / least" "$(of ratio "$s10k") ($(of window_ms "$s10k") / $(of least_ms "$s10k") ms; best $(of best_ratio "$s10k"))" "<= 1.1" "$(verdict "$(of ratio "$s10k")" "<=" 1.1)"
  for s in "$s1k" "$s10k" "$s100k"; do
    row "  $(of entries "$s") entries: per entry, window / least" "$(of window_us_per_entry "$s") / $(of least_us_per_entry "$s") us; $(of bytes_per_entry "$s") B" "-" "-"
  done
  growth_time=$(awk -v a="$(of window_us_per_entry "$s100k")" -v b="$(of window_us_per_entry "$s1k")" 'BEGIN { printf "%.2f", a / b }')
  growth_memory=$(awk -v a="$(of bytes_per_entry "$s100k")" -v b="$(of bytes_per_entry "$s1k")" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 99) }')
  row "Per-entry time, 100000 / 1000 entries" "$growth_time" "<= 1.2" "$(verdict "$growth_time" "<=" 1.2)"
  row "Per-entry peak working set, 100000 / 1000 entries" "$growth_memory" "<= 1.2" "$(verdict "$growth_memory" "<=" 1.2)"
  unanswered=$(for s in "$s1k" "$s10k" "$s100k"; do of unanswered_ms "$s"; done | sort -g | tail -1)
  row "Longest wait for the window during a scan" "$unanswered ms" "<= 1000 ms" "$(verdict "$unanswered" "<=" 1000)"
else
  missing "Scan through the window (three sizes)" "logs/scan_series.log" "<= 1.1"
fi
if ((idle_ok)); then
  row "Idle CPU, Pen Drive (frm_rd) open" "$rd_idle % (wineserver ${server_share[pen_drive]:-?} %)" "< 1 %" "$(verdict "$rd_idle" "<" 1)"
  row "Idle CPU, Pen Drive after the scan ($((entries / 2)) lines)" "$rd_scanned_idle % (wineserver ${server_share[pen_drive_scanned]:-?} %)" "< 1 %" "$(verdict "$rd_scanned_idle" "<" 1)"
  row "Idle CPU, Computer (frm_c) open" "$cc_idle % (wineserver ${server_share[computer]:-?} %)" "< 1 %" "$(verdict "$cc_idle" "<" 1)"
else
  missing "Idle CPU of the cleaner windows" "logs/idle_cpu.log" "< 1 %"
fi
if ((delay_ok)); then
  row "CPU during Delay(1000)" "$delay_cpu % (wineserver $delay_server %)" "< 2 %" "$(verdict "$delay_cpu" "<" 2)"
else
  missing "CPU during Delay(1000)" "logs/delay_cpu.log" "< 2 %"
fi
if ((startup_ok)); then
  ratio=$(awk -v a="$app_start_ms" -v b="$minimal_ms" 'BEGIN { printf "%.2f", a / b }')
  best=$(awk -v a="$app_start_best" -v b="$minimal_best" 'BEGIN { printf "%.2f", a / b }')
  row "Start-up to main window, tidewick / minimal window" "$ratio ($app_start_ms / $minimal_ms ms; best $best)" "<= 1.3" "$(verdict "$ratio" "<=" 1.3)"
else
  missing "Start-up to main window, tidewick / minimal window" "logs/startup.log" "<= 1.3"
fi
row "Size of tidewick.exe" "$(mib "$app_bytes") MiB ($app_bytes bytes)" "<= 1.5 MiB" "$(verdict "$app_bytes" "<=" 1572864)"
row "Size of pskill.exe" "$(mib "$kill_bytes") MiB ($kill_bytes bytes)" "-" "-"
if ((idle_ok)); then
  row "Peak working set of tidewick.exe" "$(mib $((peak_kb * 1024))) MiB" "<= 16 MiB" "$(verdict "$peak_kb" "<=" 16384)"
else
  missing "Peak working set of tidewick.exe" "logs/idle_cpu.log" "<= 16 MiB"
fi
if ((startup_ok)) && [ -n "${minimal_peak_kb:-}" ] && [ -n "${app_start_peak_kb:-}" ]; then
  if ((idle_ok)); then
    row "  above the main window just shown" "$(mib $(((peak_kb - app_start_peak_kb) * 1024))) MiB" "<= 4 MiB" "$(verdict $((peak_kb - app_start_peak_kb)) "<=" 4096)"
  fi
  row "  for scale: tidewick.exe, main window just shown" "$(mib $((app_start_peak_kb * 1024))) MiB" "-" "-"
  row "  for scale: minimal window program, window shown" "$(mib $((minimal_peak_kb * 1024))) MiB" "-" "-"
fi
say "scan through the window: ${gui_scan_ms:-?} ms; logs in $logs"
exit "$failed"
