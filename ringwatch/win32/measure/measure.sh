#!/bin/bash
# Measures the serial control under Wine (not a test):
#  1. latency from the simulator's write of "RING\r\n" (its transcript's tx
#     stamp) to OnComm on the user-interface thread, over RINGS rings;
#  2. CPU used by wineserver and by the program with COM5 open and no
#     traffic, over IDLE seconds.
#   measure.sh <ringwatch_win32_measure.exe> <modemsim> [RINGS] [IDLE]
set -u
exe=$1
modemsim=$2
rings=${3:-20}
idle=${4:-10}
root=$(cd "$(dirname "$0")/../../.." && pwd)
. "$root/tests/wine/wine-env.sh"

modem_pid=""
cleanup() {
  [ -n "$modem_pid" ] && { kill "$modem_pid" 2>/dev/null; wait "$modem_pid" 2>/dev/null; }
  hc_wine_teardown
}
trap cleanup EXIT
hc_wine_setup || exit 1
dir=$WINEPREFIX/measure
mkdir -p "$dir"

"$modemsim" --link "$WINEPREFIX/dosdevices/com5" --transcript "$dir/transcript" --control "$dir/control" \
  </dev/null >"$dir/modem.out" 2>"$dir/modem.err" &
modem_pid=$!
for _ in $(seq 100); do grep -q '^ready ' "$dir/modem.out" 2>/dev/null && break; sleep 0.05; done

wait_ready() {
  for _ in $(seq 200); do grep -q '^ready' "$1" 2>/dev/null && return 0; sleep 0.05; done
  return 1
}

# CPU ticks (utime + stime) of a process.
ticks() {
  [ -n "$1" ] && [ -r "/proc/$1/stat" ] || { echo 0; return; }
  sed 's/.*) //' "/proc/$1/stat" | awk '{print $12 + $13}'
}

# The newest process whose command line matches $1 and that runs in this
# run's prefix (other Wine prefixes may be busy on the same machine).
in_prefix() {
  local pid found=""
  for pid in $(pgrep -f "$1"); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && found=$pid
  done
  echo "$found"
}

echo "== latency: $rings rings, 300 ms apart"
wine "$exe" latency "$rings" </dev/null >"$dir/latency.out" 2>&1 &
run=$!
wait_ready "$dir/latency.out" || { echo "measure: the program did not start"; cat "$dir/latency.out"; exit 1; }
echo "ring $rings 300" >"$dir/control"
wait $run
grep -F 'RING\r\n' "$dir/transcript" | awk '$2 == "tx" {print $1}' >"$dir/tx"
grep -F 'RING\r\n' "$dir/latency.out" | awk '$1 == "oncomm" {print $2}' >"$dir/rx"
paste "$dir/tx" "$dir/rx" | awk 'NF == 2 {print ($2 - $1) / 1000.0}' | sort -n >"$dir/ms"
awk '{v[NR] = $1; s += $1} END {
  if (NR == 0) { print "no pairs"; exit }
  printf "pairs %d  min %.2f ms  median %.2f ms  mean %.2f ms  max %.2f ms\n", NR, v[1], v[int((NR + 1) / 2)], s / NR, v[NR]
}' "$dir/ms"

echo "== idle: COM5 open, no traffic, $idle s"
wine "$exe" idle "$((idle + 2))" </dev/null >"$dir/idle.out" 2>&1 &
run=$!
wait_ready "$dir/idle.out" || { echo "measure: the program did not start"; exit 1; }
sleep 1
server=$(in_prefix wineserver)
program=$(in_prefix 'ringwatch_win32_measure.exe idle')
echo "wineserver pid ${server:-?}, program pid ${program:-?}"
hz=$(getconf CLK_TCK)
s0=$(ticks "$server"); p0=$(ticks "$program")
sleep "$idle"
s1=$(ticks "$server"); p1=$(ticks "$program")
wait $run
awk -v s=$((s1 - s0)) -v p=$((p1 - p0)) -v hz="$hz" -v t="$idle" 'BEGIN {
  printf "wineserver %.2f%% of a core, program %.2f%% of a core (%d + %d ticks of 1/%d s over %d s)\n",
    100 * s / hz / t, 100 * p / hz / t, s, p, hz, t
}'
cat "$dir/idle.out"
