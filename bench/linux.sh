#!/bin/bash
# hushcalld's performance on this machine, beside its floor:
#  1. ring latency: from the modem simulator's write of "RING" CR LF (the
#     "tx RING\r\n" line of its transcript; the report goes out in one
#     write) to the fake MPRIS player's receipt of Pause (its log line),
#     p50/p99/max over --calls calls; and the same for the floor:
#     bench/linux_floor, a bare poll() loop on its own pty that makes the
#     same two D-Bus calls (PlaybackStatus, then Pause). Service and floor
#     pairs run side by side, their rings interleaved, under one load;
#  2. idle cost of a service watching a silent modem over --idle-s seconds:
#     its wake-ups per minute (context switches) and its resident memory.
#
#   bench/linux.sh [--calls N] [--pairs K] [--idle-s S]
#
# Each pair has a private session bus of its own (so that a service quiets
# only its own player), a simulator, a player and the service or the floor.
# A call ends 10 s after its last ring, so each simulator rings once every
# 11 s, the rings of all 2K simulators spread evenly across those 11 s.
#
# The last line is for scripts:
#   summary: latency p50 A ms p99 B ms; floor p50 C ms p99 D ms; idle wakeups E/min; rss F KiB
set -u

calls=200
pairs=10
idle_s=60
while [ $# -gt 0 ]; do
  case $1 in
    --calls) calls=$2; shift 2 ;;
    --pairs) pairs=$2; shift 2 ;;
    --idle-s) idle_s=$2; shift 2 ;;
    -h|--help) sed -n '2,22p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "bench: unknown option $1" >&2; exit 2 ;;
  esac
done

root=$(cd "$(dirname "$0")/.." && pwd)
native=$root/build/native
modemsim=$native/tools/modemsim/modemsim
daemon=$native/daemon/hushcalld
floor=$native/bench/linux_floor/linux_floor
player=$root/bench/linux_player.py
if ! [ -x "$modemsim" ] && [ -x "$daemon" ] && [ -x "$floor" ]; then
  echo "bench: build tree missing, running scripts/setup.sh and scripts/build.sh"
  "$root/scripts/setup.sh" && "$root/scripts/build.sh" || { echo "bench: build failed" >&2; exit 1; }
fi

readonly kCallPeriodMs=11000
work=$(mktemp -d /tmp/hushcall-bench-linux.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
say() { echo "bench: $*" >&2; }

# wait_for FILE REGEX SECONDS
wait_for() {
  local end=$((SECONDS + $3))
  until grep -qE "$2" "$1" 2>/dev/null; do
    [ $SECONDS -ge $end ] && return 1
    sleep 0.05
  done
}

# start_pair N KIND: bus, simulator, player, and the service or the floor.
start_pair() {
  local n=$1 kind=$2 dir=$work/pair$1
  mkdir -p "$dir"
  dbus-daemon --session --nofork --print-address=3 3>"$dir/bus" </dev/null >/dev/null 2>&1 &
  pids+=($!)
  wait_for "$dir/bus" . 10 || { say "bus $n did not start"; exit 1; }
  local bus
  bus=$(head -1 "$dir/bus")
  local wait_init=()
  [ "$kind" = floor ] && wait_init=(--no-wait-init)
  "$modemsim" --link "$dir/tty" --transcript "$dir/modem.log" --control "$dir/modem.ctl" \
    --reply-delay-ms 0 "${wait_init[@]}" </dev/null >"$dir/modem.out" 2>&1 &
  pids+=($!)
  wait_for "$dir/modem.out" '^ready' 10 || { say "simulator $n did not start"; exit 1; }
  DBUS_SESSION_BUS_ADDRESS=$bus "$player" "p$n" "$dir/player.log" >"$dir/player.out" 2>&1 &
  pids+=($!)
  wait_for "$dir/player.out" '^ready' 10 || { say "player $n did not start"; exit 1; }
  if [ "$kind" = floor ]; then
    DBUS_SESSION_BUS_ADDRESS=$bus "$floor" "$dir/tty" "org.mpris.MediaPlayer2.p$n" \
      >"$dir/out" 2>&1 &
    pids+=($!)
    wait_for "$dir/out" '^ready' 10 || { say "floor $n did not start"; exit 1; }
  else
    printf 'Enabled=1\nAction=40046\nPopup=0\nSources=tty\nDevice=%s\n' "$dir/tty" >"$dir/hushcall.conf"
    DBUS_SESSION_BUS_ADDRESS=$bus "$daemon" --config "$dir/hushcall.conf" >"$dir/out" 2>&1 &
    pids+=($!)
    echo $! >"$dir/pid"
    wait_for "$dir/modem.log" ' rx ATZ' 10 || { say "service $n never reset its modem"; exit 1; }
    sleep 0.2  # the modem's "OK", then the service watches
  fi
}

say "$pairs service pairs and $pairs floor pairs, $calls calls each side"
for ((i = 0; i < pairs; i++)); do start_pair "s$i" service; done
for ((i = 0; i < pairs; i++)); do start_pair "f$i" floor; done

# Ring rounds: every simulator once per period, staggered.
per=$(((calls + pairs - 1) / pairs))
slots=$((2 * pairs))
gap_ms=$((kCallPeriodMs / slots))
gap_s=$(awk -v ms="$gap_ms" 'BEGIN { printf "%.3f", ms / 1000 }')
say "$per rounds of $kCallPeriodMs ms"
for ((round = 0; round < per; round++)); do
  for ((i = 0; i < pairs; i++)); do
    echo ring >"$work/pairs$i/modem.ctl"
    sleep "$gap_s"
    echo ring >"$work/pairf$i/modem.ctl"
    sleep "$gap_s"
  done
done
sleep 2

# latencies KIND: one line per ring, in ms, from each pair's transcript and
# player log.
latencies() {
  for dir in "$work"/pair"$1"*; do
    awk '
      FNR == 1 { file++ }
      file == 1 && $2 == "tx" && $3 == "RING\\r\\n" { ring[++rings] = $1 }
      file == 2 && $2 == "Pause" { got[++n] = $1 }
      END {
        j = 1
        for (i = 1; i <= rings; i++) {
          while (j <= n && got[j] < ring[i]) j++
          if (j > n) { print "missing"; continue }
          if (i < rings && got[j] >= ring[i + 1]) { print "missing"; continue }
          printf "%.3f\n", (got[j] - ring[i]) / 1000; j++
        }
      }' "$dir/modem.log" "$dir/player.log"
  done
}
# stats: "p50 p99 max missing" of the lines on standard input.
stats() {
  sort -g | awk '
    $1 == "missing" { missing++; next }
    { v[++n] = $1 }
    END {
      if (n == 0) { print "- - - " missing + 0; exit }
      p50 = v[int((n - 1) * 0.50) + 1]; p99 = v[int((n - 1) * 0.99) + 1]
      printf "%s %s %s %d\n", p50, p99, v[n], missing + 0
    }'
}
read -r s50 s99 smax smissing < <(latencies s | stats)
read -r f50 f99 fmax fmissing < <(latencies f | stats)
echo "latency (ms, $((per * pairs)) calls): hushcalld p50 $s50 p99 $s99 max $smax missing $smissing"
echo "latency (ms, $((per * pairs)) calls): floor     p50 $f50 p99 $f99 max $fmax missing $fmissing"

# Idle: the first service, its calls over, watching a silent modem.
pid=$(cat "$work/pairs0/pid")
switches() { awk '/ctxt_switches/ { n += $2 } END { print n }' "/proc/$pid/status"; }
sleep 11
before=$(switches)
sleep "$idle_s"
after=$(switches)
wakeups=$(awk -v d=$((after - before)) -v s="$idle_s" 'BEGIN { printf "%.1f", d * 60 / s }')
rss=$(awk '/VmRSS/ { print $2 }' "/proc/$pid/status")
echo "idle: $wakeups wake-ups per minute over $idle_s s; resident $rss KiB (target 0/min, at most 8192 KiB)"
echo "targets: p99 at most 1.5 x the floor's p99"
echo "summary: latency p50 $s50 ms p99 $s99 ms; floor p50 $f50 ms p99 $f99 ms; idle wakeups $wakeups/min; rss $rss KiB"
