#!/bin/bash
# Hushcall's performance under Wine on this machine, beside its floor:
#  1. ring latency: from the modem simulator's write of "RING" CR LF (the
#     "tx RING\r\n" line of its transcript, stamped as the write began) to
#     the stand-in player's receipt of the reaction's set-volume message
#     (its log line), p50/p99/max over --calls calls;
#     and the same for the floor: bench/floor's bare program, which reads
#     its own port with an overlapped read and posts each completed read to
#     a window on another thread (from the write to that window's receipt of
#     the read that completed the report). Floors and players run side by
#     side, their rings interleaved, so both are measured under one load;
#  2. idle cost: CPU time of every process of the Wine prefix (wineserver
#     included) over --idle-s seconds, first with the player alone (no
#     plug-ins), then with the player and Hushcall watching a silent port,
#     as a percentage of one core; the difference is what Hushcall adds.
#     Then the same once more with the modem gone (its simulator ended, the
#     plug-in's notice answered), while the plug-in tries the port every 2 s.
#
#   bench/run.sh [--arch win32|win64] [--calls N] [--pairs K] [--idle-s S] [--keep DIR]
#
# --arch chooses the edition (and the floor's build): by default the 32-bit
# one where this machine runs it (scripts/arches.sh --one). --keep DIR
# copies the transcripts and logs of the run into DIR.
#
# The last line is for scripts:
#   summary: latency p50 A ms p99 B ms; floor p50 C ms p99 D ms; idle added E %
#
# A call ends 10 s after its last ring and only a call's first ring makes the
# plug-in react, so sequential calls take 11 s each. The benchmark therefore
# runs K player+simulator pairs side by side in one prefix, each on its own
# port (COM5, COM6, ...), and K floor+simulator pairs on the ports after
# them, each simulator ringing once every 11 s, the rings of all 2K ports
# staggered evenly across those 11 s so that no two coincide.
#
# The stored settings are per user and read once, when the plug-in starts:
# the players are started one after another, with the stored COMPort moved
# on before each and the next start only after the previous plug-in's init
# returned (it has then read its port and opened it).
#
# Needs the built trees build/native and build/<arch>; when they are missing
# it runs scripts/setup.sh and scripts/build.sh first. Nothing is written to
# the repository: the figures go to standard output only.
set -u

arch=""
calls=200
pairs=12
idle_s=30
keep=""
while [ $# -gt 0 ]; do
  case $1 in
    --arch) arch=$2; shift 2 ;;
    --calls) calls=$2; shift 2 ;;
    --pairs) pairs=$2; shift 2 ;;
    --idle-s) idle_s=$2; shift 2 ;;
    --keep) keep=$2; shift 2 ;;
    -h|--help) sed -n '2,26p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "bench: unknown option $1" >&2; exit 2 ;;
  esac
done

root=$(cd "$(dirname "$0")/.." && pwd)
arch=${arch:-$("$root/scripts/arches.sh" --one)}
case "$arch" in win32|win64) ;; *) echo "bench: --arch is win32 or win64" >&2; exit 2 ;; esac
export HC_WINE_ARCH=$arch HC_WIN_BUILD=$root/build/$arch
export HC_MODEMSIM=$root/build/native/tools/modemsim/modemsim
floor_exe=$HC_WIN_BUILD/bench/floor/floor.exe

built() {
  [ -x "$HC_MODEMSIM" ] && [ -f "$HC_WIN_BUILD/player/player.exe" ] &&
    [ -f "$HC_WIN_BUILD/host/gen_hushcall.dll" ] &&
    [ -f "$HC_WIN_BUILD/plugin/win32/Hushcall.dll" ] && [ -f "$floor_exe" ]
}
if ! built; then
  echo "bench: build trees missing, running scripts/setup.sh and scripts/build.sh"
  "$root/scripts/setup.sh" && "$root/scripts/build.sh" || { echo "bench: build failed" >&2; exit 1; }
  built || { echo "bench: build did not produce the player, plug-ins, floor and simulator" >&2; exit 1; }
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
  modem_pids[$port]=$!
  e2e_wait_for "$HC_WORK/modem$port.out" '^ready' 10 || { say "simulator on COM$port did not start"; exit 1; }
}
declare -A modem_pids

# stop_modem PORT: the simulator on COM<PORT> ends, and its link with it: to
# the plug-in, a modem pulled out.
stop_modem() {
  local pid=${modem_pids[$1]}
  kill "$pid" 2>/dev/null
  while kill -0 "$pid" 2>/dev/null; do sleep 0.1; done
}

# run_player NAME PLUGIN-FOLDER: a player logging to NAME.log, in the
# background; its pid in player_pid.
run_player() {
  wine "$HC_PLAYER_EXE" --plugins "$(hc_winpath "$2")" \
    --log "$(hc_winpath "$HC_WORK")\\$1.log" --state playing --volume 200 \
    </dev/null >"$HC_WORK/$1.out" 2>&1 &
  player_pid=$!
  HC_PIDS+=($player_pid)
}

# start_player PORT: a player whose plug-in watches COM<PORT>; returns once
# the plug-in's init has returned.
start_player() {
  local port=$1
  local log=$HC_WORK/player$port.log
  e2e_settings COMPort="$port"
  run_player "player$port" "$HC_WORK/plugins"
  e2e_wait_for "$log" 'plugin gen_hushcall\.dll init -> ' 60 || { say "player on COM$port did not start"; exit 1; }
  grep -q 'plugin gen_hushcall\.dll init -> 0' "$log" || { say "plug-in init failed on COM$port"; cat "$log" >&2; exit 1; }
  # The init's "ATZ" must have reached this port's simulator, or the plug-in
  # is watching some other port.
  grep -q ' rx ATZ' "$HC_WORK/modem$port.log" || { say "COM$port's simulator saw no ATZ"; exit 1; }
}

# start_floor PORT: the floor program reading COM<PORT>; returns once it reads.
start_floor() {
  local port=$1
  wine "$floor_exe" "$port" "$(hc_winpath "$HC_WORK")\\floor$port.log" \
    </dev/null >"$HC_WORK/floor$port.out" 2>&1 &
  HC_PIDS+=($!)
  e2e_wait_for "$HC_WORK/floor$port.log" ' ready$' 60 || { say "floor on COM$port did not start"; exit 1; }
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

# idle_window: the prefix's CPU over idle_s seconds: "name pct %" lines per
# process name, then "TOTAL pct".
idle_window() {
  local before after t0 t1
  before=$(cpu_snapshot); t0=$(now_us)
  sleep "$idle_s"
  after=$(cpu_snapshot); t1=$(now_us)
  # Per process: ticks at the end minus ticks at the start (all of them for
  # a process that started during the window).
  awk -v hz="$(getconf CLK_TCK)" -v us=$((t1 - t0)) '
    NR == FNR { start[$1] = $2; next }
    { d = $2 - (($1 in start) ? start[$1] : 0); used[$3] += d; total += d }
    END {
      for (n in used) printf "    %-30s %6.2f\n", n, 100 * used[n] / hz / (us / 1e6)
      printf "TOTAL %.2f\n", 100 * total / hz / (us / 1e6)
    }' <(echo "$before") <(echo "$after")
}
total_of() { echo "$1" | awk '$1 == "TOTAL" {print $2}'; }
procs_of() { echo "$1" | grep -v '^TOTAL' | sort -k2 -rn; }

# The player alone first: its start also brings up the prefix's services,
# which are left to settle before counting.
mkdir -p "$HC_WORK/no-plugins"
run_player bare "$HC_WORK/no-plugins"
e2e_wait_for "$HC_WORK/bare.log" ' start hwnd=' 60 || { say "the bare player did not start"; exit 1; }
sleep 5
say "idle: the player alone, ${idle_s} s"
bare_table=$(idle_window)
kill "$player_pid" 2>/dev/null; wait "$player_pid" 2>/dev/null

start_modem $kFirstPort
start_player $kFirstPort
sleep 3
say "idle: the player with Hushcall watching COM$kFirstPort, no rings, ${idle_s} s"
watched_table=$(idle_window)
idle_rings=$(e2e_count "$HC_WORK/player$kFirstPort.log" 'msg WM_USER wParam=.* lParam=122')

# The modem goes away while watched: the plug-in tells so once (answered
# here) and then tries the port every 2 s. It comes back before the latency
# runs, and the plug-in resets it ("ATZ") before watching again.
stop_modem $kFirstPort
lost_text=$(hushctl msgbox-text --class '#32770' --title "$HC_TITLE" --timeout 10000)
[ "$lost_text" = "$HC_LINE_LOST_TEXT" ] || { say "no lost-line notice, saw: $lost_text"; exit 1; }
hushctl msgbox-press --class '#32770' --title "$HC_TITLE" --button ok --timeout 2000 >/dev/null
sleep 3
say "idle: the player with Hushcall, COM$kFirstPort gone, ${idle_s} s"
gone_table=$(idle_window)
start_modem $kFirstPort
e2e_wait_for "$HC_WORK/modem$kFirstPort.log" ' rx ATZ' 10 || { say "the plug-in did not take COM$kFirstPort back"; exit 1; }

bare_pct=$(total_of "$bare_table"); watched_pct=$(total_of "$watched_table"); gone_pct=$(total_of "$gone_table")
added_pct=$(awk -v a="$watched_pct" -v b="$bare_pct" 'BEGIN { printf "%.2f", a - b }')
gone_added_pct=$(awk -v a="$gone_pct" -v b="$bare_pct" 'BEGIN { printf "%.2f", a - b }')

# --- latency -----------------------------------------------------------------

rounds=$(((calls + pairs - 1) / pairs))
ports=(); floor_ports=()
for ((i = 0; i < pairs; i++)); do
  ports+=($((kFirstPort + i)))
  floor_ports+=($((kFirstPort + pairs + i)))
done
say "latency: starting $pairs players on COM${ports[0]}..COM${ports[-1]}, $pairs floors on COM${floor_ports[0]}..COM${floor_ports[-1]}"
for port in "${ports[@]:1}"; do
  start_modem "$port"
  start_player "$port"
done
for port in "${floor_ports[@]}"; do
  start_modem "$port"
  start_floor "$port"
done

# Player and floor rings alternate (P0 F0 P1 F1 ...), evenly across a period.
order=()
for ((i = 0; i < pairs; i++)); do order+=("${ports[$i]}" "${floor_ports[$i]}"); done
stagger_ms=$((kCallPeriodMs / ${#order[@]}))
say "latency: $rounds rings on each of ${#order[@]} ports, one every $((kCallPeriodMs / 1000)) s, ${stagger_ms} ms apart across ports"
t_start=$(now_us)
for ((i = 0; i < ${#order[@]}; i++)); do
  due=$((t_start + i * stagger_ms * 1000))
  wait_us=$((due - $(now_us)))
  [ $wait_us -gt 0 ] && sleep "$(printf '%d.%06d' $((wait_us / 1000000)) $((wait_us % 1000000)))"
  echo "ring $rounds $kCallPeriodMs" >"$HC_WORK/modem${order[$i]}.ctl"
done

# Wait for the last port's last ring, then for the receipts of it.
last=${order[-1]}
deadline=$((SECONDS + (rounds * kCallPeriodMs) / 1000 + 30))
while [ "$(e2e_count "$HC_WORK/modem$last.log" ' tx RING\\r\\n$')" -lt "$rounds" ] && [ $SECONDS -lt $deadline ]; do
  sleep 1
done
sleep 2

# pair_latencies: reads "<us> R" (a ring) and "<us> V <bytes>" (a receipt)
# lines, and pairs every ring with the receipt that completes its 6 bytes
# before the port's next ring; prints microseconds, or "miss" for a ring
# with none.
pair_latencies() {
  sort -n -k1,1 | awk '
    $2 == "R" { if (pending) print "miss"; pending = 1; t = $1; got = 0; next }
    $2 == "V" && pending { got += $3; if (got >= 6) { print $1 - t; pending = 0 } }
    END { if (pending) print "miss" }'
}
rings_of() { grep -E ' tx RING\\r\\n$' "$HC_WORK/modem$1.log" | awk '{print $1, "R"}'; }
# The reaction's receipt stands for the whole report.
player_latencies() {
  { rings_of "$1"
    grep -E " msg WM_USER wParam=$kFullVolume lParam=122" "$HC_WORK/player$1.log" | awk '{print $1, "V", 6}'
  } | pair_latencies
}
floor_latencies() {
  { rings_of "$1"; grep -E ' read [0-9]+$' "$HC_WORK/floor$1.log" | awk '{print $1, "V", $3}'; } | pair_latencies
}

# stats: latencies in, "n missed min p50 p99 max" out, nearest-rank, in ms.
stats() {
  local all
  all=$(cat)
  echo "$all" | grep -E '^-?[0-9]+$' | sort -n | awk -v missed="$(echo "$all" | grep -c '^miss$')" '
    { v[++n] = $1 / 1000 }
    function rank(p,  r) { r = int(n * p / 100); if (n * p % 100 > 0) r++; return r < 1 ? 1 : r }
    END {
      if (n == 0) { print 0, missed, "?", "?", "?", "?"; exit }
      printf "%d %d %.2f %.2f %.2f %.2f\n", n, missed, v[1], v[rank(50)], v[rank(99)], v[n]
    }'
}

[ -n "$keep" ] && mkdir -p "$keep" && cp "$HC_WORK"/*.log "$keep"/

read -r h_n h_missed h_min h_p50 h_p99 h_max < <(for p in "${ports[@]}"; do player_latencies "$p"; done | stats)
read -r f_n f_missed f_min f_p50 f_p99 f_max < <(for p in "${floor_ports[@]}"; do floor_latencies "$p"; done | stats)

verdict() { awk -v v="$1" -v lim="$2" 'BEGIN { print (v != "?" && v != "" && v + 0 <= lim + 0) ? "met" : "NOT met" }'; }
ratio=$(awk -v a="$h_p99" -v b="$f_p99" 'BEGIN { if (a == "?" || b == "?" || b + 0 == 0) print "?"; else printf "%.2f", a / b }')
row() { printf '  %-20s %-11s %s\n' "$1" "$2" "$3"; }

cat <<EOF

Hushcall benchmark under Wine ($(wine --version 2>/dev/null), $(nproc) cores, $(date -u '+%Y-%m-%d %H:%M UTC'))

Ring latency, ms: the simulator's write of "RING" CR LF -> its receipt
(Hushcall: the player's receipt of the set-volume message; floor: its
window's receipt of the read that completed the report; $pairs ports each,
rings ${stagger_ms} ms apart across the $((2 * pairs)) ports)
$(row "" Hushcall floor)
$(row "calls measured" "$h_n" "$f_n")
$(row "without a receipt" "$h_missed" "$f_missed")
$(row "min" "$h_min" "$f_min")
$(row "p50" "$h_p50" "$f_p50")
$(row "p99" "$h_p99" "$f_p99")
$(row "max" "$h_max" "$f_max")
  p99 Hushcall / floor   $ratio    target <= 1.5: $(verdict "$ratio" 1.5)
  p50 Hushcall           $h_p50 ms   target <= 2 ms: $(verdict "$h_p50" 2)

Idle CPU, % of one core, every process of the prefix, ${idle_s} s each
  the player alone                    $bare_pct
$(procs_of "$bare_table")
  the player, Hushcall watching COM$kFirstPort   $watched_pct
$(procs_of "$watched_table")
  added by Hushcall                   $added_pct
  (reactions seen while watching: $idle_rings)
  the player, Hushcall, COM$kFirstPort gone      $gone_pct
$(procs_of "$gone_table")
  added while the modem is gone       $gone_added_pct

Wall time: $((SECONDS - started)) s
summary: latency p50 $h_p50 ms p99 $h_p99 ms; floor p50 $f_p50 ms p99 $f_p99 ms; idle added $added_pct %
EOF
