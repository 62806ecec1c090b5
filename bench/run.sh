#!/bin/bash
# Hushcall's performance under Wine on this machine, printed as a table:
#  1. ring latency: from the modem simulator's write of "RING" CR LF (the
#     "tx RING\r\n" line of its transcript, stamped right after the write
#     returned) to the stand-in player's receipt of the reaction's
#     set-volume message (its log line), p50/p99/max over --calls calls;
#  2. idle cost: CPU time of every process of the Wine prefix (wineserver
#     included) while one port is watched and no ring comes, over --idle-s
#     seconds, as a percentage of one core.
#
#   bench/run.sh [--calls N] [--pairs K] [--idle-s S]
#
# A call ends 10 s after its last ring and only a call's first ring makes the
# plug-in react, so sequential calls take 11 s each. The benchmark therefore
# runs K player+simulator pairs side by side in one prefix, each on its own
# port (COM5, COM6, ...), each simulator ringing once every 11 s, the pairs'
# rings staggered evenly across those 11 s so that no two coincide.
#
# The stored settings are per user and read once, when the plug-in starts:
# the players are started one after another, with the stored COMPort moved
# on before each and the next start only after the previous plug-in's init
# returned (it has then read its port and opened it).
#
# Needs the built trees build/native and build/win32; when they are missing
# it runs scripts/setup.sh and scripts/build.sh first. Nothing is written to
# the repository: the figures go to standard output only.
set -u

calls=200
pairs=12
idle_s=30
while [ $# -gt 0 ]; do
  case $1 in
    --calls) calls=$2; shift 2 ;;
    --pairs) pairs=$2; shift 2 ;;
    --idle-s) idle_s=$2; shift 2 ;;
    -h|--help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "bench: unknown option $1" >&2; exit 2 ;;
  esac
done

root=$(cd "$(dirname "$0")/.." && pwd)
export HC_WIN32_BUILD=$root/build/win32
export HC_MODEMSIM=$root/build/native/tools/modemsim/modemsim

built() {
  [ -x "$HC_MODEMSIM" ] && [ -f "$HC_WIN32_BUILD/player/player.exe" ] &&
    [ -f "$HC_WIN32_BUILD/host/gen_hushcall.dll" ] &&
    [ -f "$HC_WIN32_BUILD/plugin/win32/Hushcall.dll" ]
}
if ! built; then
  echo "bench: build trees missing, running scripts/setup.sh and scripts/build.sh"
  "$root/scripts/setup.sh" && "$root/scripts/build.sh" || { echo "bench: build failed" >&2; exit 1; }
  built || { echo "bench: build did not produce the player, plug-ins and simulator" >&2; exit 1; }
fi

# Call timer (10 s) plus a margin, so that every ring starts a new call even
# when the timer's expiry comes late on a busy machine.
readonly kCallPeriodMs=11000
readonly kFirstPort=5
readonly kFullVolume=255

. "$root/tests/e2e/lib.sh"
e2e_begin
started=$SECONDS

now_us() { local t; t=$(date +%s%N); echo $((t / 1000)); }
say() { echo "bench: $*" >&2; }

# --- one player+simulator pair per port --------------------------------------

# start_modem PORT: the simulator on COM<PORT>, silent until told to ring.
start_modem() {
  local port=$1
  "$HC_MODEMSIM" --link "$WINEPREFIX/dosdevices/com$port" \
    --transcript "$HC_WORK/modem$port.log" --control "$HC_WORK/modem$port.ctl" \
    </dev/null >"$HC_WORK/modem$port.out" 2>&1 &
  HC_PIDS+=($!)
  e2e_wait_for "$HC_WORK/modem$port.out" '^ready' 10 || { say "simulator on COM$port did not start"; exit 1; }
}

# start_player PORT: a player whose plug-in watches COM<PORT>; returns once
# the plug-in's init has returned.
start_player() {
  local port=$1
  local log=$HC_WORK/player$port.log
  e2e_settings COMPort="$port"
  wine "$HC_PLAYER_EXE" --plugins "$(hc_winpath "$HC_WORK/plugins")" \
    --log "$(hc_winpath "$HC_WORK")\\player$port.log" --state playing --volume 200 \
    </dev/null >"$HC_WORK/player$port.out" 2>&1 &
  HC_PIDS+=($!)
  e2e_wait_for "$log" 'plugin gen_hushcall\.dll init -> ' 60 || { say "player on COM$port did not start"; exit 1; }
  grep -q 'plugin gen_hushcall\.dll init -> 0' "$log" || { say "plug-in init failed on COM$port"; cat "$log" >&2; exit 1; }
  # The init's "ATZ" must have reached this port's simulator, or the plug-in
  # is watching some other port.
  grep -q ' rx ATZ' "$HC_WORK/modem$port.log" || { say "COM$port's simulator saw no ATZ"; exit 1; }
}

e2e_settings Enabled=1 Action=122 Volume=100 Percent=0 Popup=0

# --- idle cost ---------------------------------------------------------------

# Every Wine process of this prefix, wineserver included: they run one of
# Wine's binaries and carry WINEPREFIX in their environment. (The simulator,
# Xvfb and this script's own children carry it too, but are not Wine.)
prefix_pids() {
  local d exe
  for d in /proc/[0-9]*; do
    exe=$(readlink "$d/exe" 2>/dev/null) || continue
    case ${exe##*/} in wine*) ;; *) continue ;; esac
    tr '\0' '\n' 2>/dev/null <"$d/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "${d#/proc/}"
  done
}

# cpu_snapshot: "pid ticks name" for every process of the prefix, where ticks
# is utime+stime. The name may hold blanks, so fields come after the last ")".
cpu_snapshot() {
  local pid stat name rest
  for pid in $(prefix_pids); do
    stat=$(cat "/proc/$pid/stat" 2>/dev/null) || continue
    name=${stat#*(}; name=${name%)*}
    rest=${stat##*) }
    echo "$pid $(echo "$rest" | awk '{print $12 + $13}') ${name// /_}"
  done
}

start_modem $kFirstPort
start_player $kFirstPort
# Let the prefix's services finish starting before counting.
sleep 3
say "idle: one port watched, no rings, ${idle_s} s"
before=$(cpu_snapshot); t0=$(now_us)
sleep "$idle_s"
after=$(cpu_snapshot); t1=$(now_us)
hz=$(getconf CLK_TCK)
# Per process: ticks at the end minus ticks at the start (all of them for a
# process that started during the window).
idle_table=$(awk -v hz="$hz" -v us=$((t1 - t0)) '
  NR == FNR { start[$1] = $2; next }
  { d = $2 - (($1 in start) ? start[$1] : 0); used[$3] += d; total += d }
  END {
    for (n in used) printf "  %-22s %6.2f %%\n", n, 100 * used[n] / hz / (us / 1e6)
    printf "TOTAL %.2f\n", 100 * total / hz / (us / 1e6)
  }' <(echo "$before") <(echo "$after"))
idle_pct=$(echo "$idle_table" | awk '$1 == "TOTAL" {print $2}')
idle_procs=$(echo "$idle_table" | grep -v '^TOTAL' | sort -k2 -rn)
idle_rings=$(e2e_count "$HC_WORK/player$kFirstPort.log" 'msg WM_USER wParam=.* lParam=122')

# --- latency -----------------------------------------------------------------

rounds=$(((calls + pairs - 1) / pairs))
ports=()
for ((i = 0; i < pairs; i++)); do ports+=($((kFirstPort + i))); done
say "latency: starting $pairs players on COM${ports[0]}..COM${ports[-1]}"
for port in "${ports[@]:1}"; do
  start_modem "$port"
  start_player "$port"
done

say "latency: $rounds rings on each of $pairs ports, one every $((kCallPeriodMs / 1000)) s ($((rounds * pairs)) calls)"
stagger_ms=$((kCallPeriodMs / pairs))
t_start=$(now_us)
for ((i = 0; i < pairs; i++)); do
  due=$((t_start + i * stagger_ms * 1000))
  wait_us=$((due - $(now_us)))
  [ $wait_us -gt 0 ] && sleep "$(printf '%d.%06d' $((wait_us / 1000000)) $((wait_us % 1000000)))"
  echo "ring $rounds $kCallPeriodMs" >"$HC_WORK/modem${ports[$i]}.ctl"
done

# Wait for the last port's last ring, then for the reactions to it.
last=${ports[-1]}
deadline=$((SECONDS + (rounds * kCallPeriodMs) / 1000 + 30))
while [ "$(e2e_count "$HC_WORK/modem$last.log" ' tx RING\\r\\n$')" -lt "$rounds" ] && [ $SECONDS -lt $deadline ]; do
  sleep 1
done
sleep 2

# Pairs every ring with the first reaction after it and before the port's
# next ring; a ring with none is counted as missed.
pair_latencies() {
  local port=$1
  {
    grep -E ' tx RING\\r\\n$' "$HC_WORK/modem$port.log" | awk '{print $1, "R"}'
    grep -E " msg WM_USER wParam=$kFullVolume lParam=122" "$HC_WORK/player$port.log" | awk '{print $1, "V"}'
  } | sort -n -k1,1 | awk '
    $2 == "R" { if (pending) print "miss"; pending = 1; t = $1; next }
    $2 == "V" && pending { print $1 - t; pending = 0 }
    END { if (pending) print "miss" }'
}

all=$(for port in "${ports[@]}"; do pair_latencies "$port"; done)
missed=$(echo "$all" | grep -c '^miss$')
lat=$(echo "$all" | grep -v '^miss$' | grep -E '^-?[0-9]+$' | sort -n)
n=$(echo "$lat" | grep -c .)

# Nearest-rank percentiles, in milliseconds.
pct() { echo "$lat" | awk -v p="$1" -v n="$n" 'NR == (int(n * p / 100) + (n * p % 100 > 0)) {printf "%.2f", $1 / 1000}'; }
p50=$(pct 50); p99=$(pct 99); pmax=$(echo "$lat" | tail -1 | awk '{printf "%.2f", $1 / 1000}')
pmin=$(echo "$lat" | head -1 | awk '{printf "%.2f", $1 / 1000}')

verdict() { awk -v v="$1" -v lim="$2" 'BEGIN { print (v != "" && v + 0 <= lim + 0) ? "met" : "NOT met" }'; }

cat <<EOF

Hushcall benchmark under Wine ($(wine --version 2>/dev/null), $(nproc) cores, $(date -u '+%Y-%m-%d %H:%M UTC'))

Ring latency: simulator's write of "RING" CR LF -> player's receipt of the set-volume message
  calls measured       $n  ($pairs ports x $rounds calls, rings ${stagger_ms} ms apart across ports; $missed without a reaction)
  min                  ${pmin:-?} ms
  p50                  ${p50:-?} ms
  p99                  ${p99:-?} ms      target <= 10 ms: $(verdict "$p99" 10)
  max                  ${pmax:-?} ms

Idle cost: one port watched, no rings, ${idle_s} s, every process of the prefix
  CPU                  ${idle_pct:-?} % of one core   target <= 1 %: $(verdict "$idle_pct" 1)
$idle_procs
  (reactions seen during the idle window: $idle_rings)

Wall time: $((SECONDS - started)) s
EOF
