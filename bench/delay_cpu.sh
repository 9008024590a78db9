#!/usr/bin/env bash
# CPU time of Function::Delay(1000) on the Win32 platform under Wine, against wall time
# (not a test: it prints figures). Goal: under 2 % for the idle wait.
#
#   bench/delay_cpu.sh
#
# Runs bench/delay_cpu.exe of the Windows build (build/windows, or $BUILD; see bench/lib.sh)
# in the Wine prefix build/fn-wine (or $WINEPREFIX).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

. scripts/lib/wine.sh
. bench/lib.sh
wine_env "${WINEPREFIX:-$root/build/fn-wine}"

echo "== building"
bench_build bench_delay_cpu
out=$build/bench

wine_prefix_ensure
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then unset DISPLAY; xvfb_start; fi
# The prefix is this benchmark's own: its server and Wine's services end with the run.
trap 'wineserver -k 2>/dev/null || true; xvfb_stop' EXIT
wineserver -p 30 2>/dev/null || true
# One warm-up start, so that the prefix's own start-up does not fall into the figures.
wine cmd /c exit >/dev/null 2>&1 || true

# The wineserver of this prefix works in a folder named after the prefix's device and inode.
server_dir=server-$(printf '%x-%x' $(stat -c '%d %i' "$WINEPREFIX"))
server_pid=""
for pid in $(pgrep -x wineserver64 || true) $(pgrep -x wineserver || true); do
  case "$(readlink "/proc/$pid/cwd" 2>/dev/null)" in */"$server_dir") server_pid=$pid ;; esac
done
hz=$(getconf CLK_TCK)
server_ms() {  # user plus system time of the wineserver so far, in ms
  [ -n "$server_pid" ] || { echo 0; return; }
  awk -v hz="$hz" '{ print ($14 + $15) * 1000 / hz }' "/proc/$server_pid/stat"
}

echo "== Delay(1000) under Wine: CPU time against wall time"
printf '%-6s %6s %9s %9s %8s %12s %9s\n' mode waits wall_ms cpu_ms cpu_% server_cpu_% timer_msgs
for spec in idle:10 timer:10 spin:3; do
  mode=${spec%%:*} count=${spec##*:}
  before=$(server_ms)
  read -r cpu wall ticks < <(wine "$out/delay_cpu.exe" "$mode" "$count" | tr -d '\r')
  after=$(server_ms)
  awk -v m="$mode" -v n="$count" -v c="$cpu" -v w="$wall" -v b="$before" -v a="$after" -v t="$ticks" \
    'BEGIN { printf "%-6s %6d %9.0f %9.0f %8.2f %12.2f %9d\n", m, n, w, c, 100*c/w, 100*(a-b)/w, t }'
done
echo "cpu_% is the bench process (GetProcessTimes, 10 ms steps); server_cpu_% is this prefix's"
echo "wineserver over the same run (process start included). Goal: idle cpu_% under 2."
