#!/bin/bash
# hushcalld's performance on this machine, beside its floor:
#  1. ring latency: from the modem simulator's write of "RING" CR LF (the
#     "tx RING\r\n" line of its transcript; the report goes out in one
#     write) to the fake MPRIS player's receipt of Pause (its log line),
#     p50/p99/max over --calls calls; and the same for the floor:
#     bench/linux_floor, a bare poll() loop on its own pty that makes the
#     same two D-Bus calls (GetAll of the player, then Pause). Service and
#     floor pairs run side by side, their rings interleaved, under one load;
#  2. idle cost of a service watching a silent modem over --idle-s seconds:
#     its wake-ups per minute (context switches) and its resident memory;
#  3. call monitor latency: from the stand-in's (tools/callmonitorsim) write
#     of a RING line to the player's receipt of Pause, p50/p99/max over
#     --calls calls, beside linux_floor --callmonitor (a bare poll() on a
#     TCP client of its own stand-in, the same D-Bus calls). A call ends at
#     its DISCONNECT, so the calls run back to back: RING, Pause, DISCONNECT,
#     the service's put back, the service's and the floor's interleaved;
#  4. fan-out: from the RING to the last of 1, 10 and 50 players' receipt
#     of Pause, all on one bus and each answering every call 20 ms late,
#     over --calls calls each: the players are called together, not in turn;
#  5. the MQTT hop: from the write of RING at a service's modem to the
#     receipt of Pause by the player of a second service that hears the
#     call through mosquitto, p50/p99/max over --calls calls, beside a floor
#     of mosquitto_pub to linux_floor --mqtt (a bare subscriber making the
#     same D-Bus calls), the rings spread as in 1;
#  6. the SIP path: from the send of an INVITE by the bench's own caller
#     (bench/sip_caller.py) through kamailio to the receipt of Pause by the
#     player of a service registered there, p50/p99/max over --calls calls,
#     beside linux_floor --sip (a bare UDP socket registered in the same
#     way, the same D-Bus calls on the relayed INVITE), back to back.
#
#   bench/linux.sh [--calls N] [--pairs K] [--idle-s S]
#
# Each pair has a private session bus of its own (so that a service quiets
# only its own player), a simulator, a player and the service or the floor.
# A call ends 10 s after its last ring, so each simulator rings once every
# 11 s, the rings of all 2K simulators spread evenly across those 11 s.
#
# The last line is for scripts:
#   summary: latency p50 A ms p99 B ms; floor p50 C ms p99 D ms; idle wakeups E/min; rss F KiB;
#     (on the same line) callmonitor p50 G ms p99 H ms; callmonitor floor p50 I ms p99 J ms;
#     1 player p50 K ms p99 L ms; 10 players p50 M ms p99 N ms; 50 players p50 O ms p99 P ms;
#     mqtt hop p50 Q ms p99 R ms; mqtt floor p50 S ms p99 T ms;
#     sip p50 U ms p99 V ms; sip floor p50 W ms p99 X ms
set -u

calls=200
pairs=10
idle_s=60
while [ $# -gt 0 ]; do
  case $1 in
    --calls) calls=$2; shift 2 ;;
    --pairs) pairs=$2; shift 2 ;;
    --idle-s) idle_s=$2; shift 2 ;;
    -h|--help) sed -n '2,45p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "bench: unknown option $1" >&2; exit 2 ;;
  esac
done

root=$(cd "$(dirname "$0")/.." && pwd)
native=$root/build/native
modemsim=$native/tools/modemsim/modemsim
daemon=$native/daemon/hushcalld
floor=$native/bench/linux_floor/linux_floor
player=$root/bench/linux_player.py
callmonitorsim=$root/tools/callmonitorsim/callmonitorsim.py
if ! { [ -x "$modemsim" ] && [ -x "$daemon" ] && [ -x "$floor" ]; }; then
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

# wait_for FILE REGEX SECONDS [COUNT]: COUNT lines (1) match.
wait_for() {
  local end=$((SECONDS + $3)) n
  until n=$(grep -cE "$2" "$1" 2>/dev/null); [ "${n:-0}" -ge "${4:-1}" ]; do
    [ $SECONDS -ge $end ] && return 1
    sleep 0.05
  done
}

# start_bus DIR: a session bus of DIR's own; its address in $bus.
start_bus() {
  dbus-daemon --session --nofork --print-address=3 3>"$1/bus" </dev/null >/dev/null 2>&1 &
  pids+=($!)
  wait_for "$1/bus" . 10 || { say "the bus in $1 did not start"; exit 1; }
  bus=$(head -1 "$1/bus")
}

# start_player DIR SUFFIX [linux_player.py options]: on $bus, logging to
# DIR/player.log.
start_player() {
  local dir=$1 suffix=$2
  shift 2
  DBUS_SESSION_BUS_ADDRESS=$bus "$player" "$suffix" "$dir/player.log" "$@" >"$dir/player.out" 2>&1 &
  pids+=($!)
  wait_for "$dir/player.out" '^ready' 10 || { say "the player in $dir did not start"; exit 1; }
}

# start_pair N KIND: bus, simulator, player, and the service or the floor.
start_pair() {
  local n=$1 kind=$2 dir=$work/pair$1 bus
  mkdir -p "$dir"
  start_bus "$dir"
  local wait_init=()
  [ "$kind" = floor ] && wait_init=(--no-wait-init)
  "$modemsim" --link "$dir/tty" --transcript "$dir/modem.log" --control "$dir/modem.ctl" \
    --reply-delay-ms 0 "${wait_init[@]}" </dev/null >"$dir/modem.out" 2>&1 &
  pids+=($!)
  wait_for "$dir/modem.out" '^ready' 10 || { say "simulator $n did not start"; exit 1; }
  start_player "$dir" "p$n"
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

# ring_to_pause TRANSCRIPT PLAYER_LOG K: one line per ring of the modem's
# or the call monitor's transcript: the ms to the K-th Pause after it (the
# last of K players), or "missing".
ring_to_pause() {
  awk -v k="$3" '
    FNR == 1 { file++ }
    file == 1 && $2 == "tx" && ($3 == "RING\\r\\n" || $3 ~ /^RING;/) { ring[++rings] = $1 }
    file == 2 && $2 == "Pause" { got[++n] = $1 }
    END {
      j = 1
      for (i = 1; i <= rings; i++) {
        while (j <= n && got[j] < ring[i]) j++
        last = j + k - 1
        if (last > n) { print "missing"; continue }
        if (i < rings && got[last] >= ring[i + 1]) { print "missing"; continue }
        printf "%.3f\n", (got[last] - ring[i]) / 1000; j = last + 1
      }
    }' "$1" "$2"
}
# latencies KIND: one line per ring of each of KIND's pairs.
latencies() {
  for dir in "$work"/pair"$1"*; do ring_to_pause "$dir/modem.log" "$dir/player.log" 1; done
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

# start_monitor DIR: the call monitor stand-in; its port in $port, its
# FIFO open for writing on $ctl (never blocking the bench).
start_monitor() {
  /usr/bin/python3 "$callmonitorsim" --control "$1/cm.ctl" --transcript "$1/cm.log" </dev/null \
    >"$1/cm.out" 2>&1 &
  pids+=($!)
  wait_for "$1/cm.out" '^ready' 10 || { say "the stand-in in $1 did not start"; exit 1; }
  port=$(sed -n 's/^ready //p' "$1/cm.out")
  exec {ctl}<>"$1/cm.ctl"
}
# start_cm_service DIR PLAYERS: hushcalld pausing on $bus, watching $port;
# returns once it has connected and follows PLAYERS players.
start_cm_service() {
  printf 'Enabled=1\nAction=40046\nPopup=0\nSources=callmonitor\nCallMonitor=127.0.0.1:%s\n' \
    "$port" >"$1/hushcall.conf"
  DBUS_SESSION_BUS_ADDRESS=$bus "$daemon" --config "$1/hushcall.conf" >"$1/out" 2>&1 &
  pids+=($!)
  wait_for "$1/cm.log" ' connected$' 10 && wait_for "$1/out" 'MPRIS: following' 10 "$2" ||
    { say "the service in $1 did not start"; exit 1; }
  sleep 0.3  # the players' owners, asked for next
}
# follow FILE: its lines as they are written, on fd $followed.
follow() {
  : >>"$1"
  exec {followed}< <(exec tail -n +1 -F "$1" 2>/dev/null)
  pids+=($!)
}
# await FD REGEX COUNT: COUNT more lines on FD match, within 10 s.
await() {
  local left=$3 end=$((SECONDS + 10)) text
  while [ "$left" -gt 0 ]; do
    [ $SECONDS -lt $end ] && IFS= read -r -t $((end - SECONDS)) -u "$1" text || return 1
    [[ $text =~ $2 ]] && left=$((left - 1))
  done
}
# cm_call CTL FD PLAYERS PUT_BACK SETTLE: one call on the stand-in written to
# on CTL, whose players log on FD: RING, each player's Pause, DISCONNECT,
# with PUT_BACK (1) each player's status read in the service's put back,
# then SETTLE seconds for the last answers to land. Fails on a receipt
# not seen.
cm_call() {
  echo "RING;0;0301234567;5550100;SIP0;" >&"$1"
  await "$2" ' Pause$' "$3" || return 1
  echo "DISCONNECT;0;0;" >&"$1"
  if [ "$4" = 1 ]; then await "$2" ' Get PlaybackStatus$' "$3" || return 1; fi
  sleep "$5"
}
# stop_from INDEX: ends one measure's processes, those from INDEX on in pids.
stop_from() {
  local i
  for ((i = $1; i < ${#pids[@]}; i++)); do kill "${pids[i]}" 2>/dev/null; done
}

# 3. The call monitor: a service and a floor, each with its bus, stand-in
# and player.
say "call monitor: $calls calls each to a service and a floor, back to back"
first=${#pids[@]}
for kind in service floor; do
  dir=$work/cm$kind
  mkdir -p "$dir"
  start_bus "$dir"
  start_monitor "$dir"
  start_player "$dir" cm
  if [ $kind = floor ]; then
    DBUS_SESSION_BUS_ADDRESS=$bus "$floor" --callmonitor "$port" org.mpris.MediaPlayer2.cm \
      >"$dir/out" 2>&1 &
    pids+=($!)
    wait_for "$dir/out" '^ready' 10 || { say "the call monitor floor did not start"; exit 1; }
  else
    start_cm_service "$dir" 1
  fi
  follow "$dir/player.log"
  if [ $kind = floor ]; then floor_ctl=$ctl floor_fd=$followed; else service_ctl=$ctl service_fd=$followed; fi
done
failed=0
for ((i = 0; i < calls && failed < 5; i++)); do
  # Each waits a little for the last answer to reach the service or the
  # floor, so that the next RING finds it idle.
  cm_call "$service_ctl" "$service_fd" 1 1 0.02 || failed=$((failed + 1))
  cm_call "$floor_ctl" "$floor_fd" 1 0 0.02 || failed=$((failed + 1))
done
[ $failed -gt 0 ] && say "call monitor: $failed receipts not seen; see the missing counts"
stop_from "$first"
exec {service_ctl}>&- {service_fd}<&- {floor_ctl}>&- {floor_fd}<&-
read -r c50 c99 cmax cmissing < <(ring_to_pause "$work/cmservice/cm.log" "$work/cmservice/player.log" 1 | stats)
read -r cf50 cf99 cfmax cfmissing < <(ring_to_pause "$work/cmfloor/cm.log" "$work/cmfloor/player.log" 1 | stats)
busy=$(grep -c 'still busy' "$work/cmservice/out")
echo "call monitor (ms, $i calls): hushcalld p50 $c50 p99 $c99 max $cmax missing $cmissing (rings met busy: $busy)"
echo "call monitor (ms, $i calls): floor     p50 $cf50 p99 $cf99 max $cfmax missing $cfmissing"
# within RATIO A B [below]: whether A is at most (below) RATIO x B, as text.
within() {
  awk -v r="$1" -v a="$2" -v b="$3" -v below="${4:-}" 'BEGIN {
    if (a == "-" || b == "-") { print "not measured"; exit }
    print ((below ? a + 0 < r * b : a + 0 <= r * b) ? "met" : "not met")
  }'
}
echo "target: call monitor p99 at most 1.5 x the floor's p99: $(within 1.5 "$c99" "$cf99")" \
  "($c99 ms vs $(awk -v b="$cf99" 'BEGIN { printf "%.3f", 1.5 * b }') ms)"

# 4. Fan-out: N players answering 20 ms late, on one bus with one service.
fan=""
declare -A fan99
for n in 1 10 50; do
  players="$n player$([ "$n" = 1 ] || echo s)"
  say "fan-out: $calls calls to $players"
  dir=$work/fan$n
  mkdir -p "$dir"
  first=${#pids[@]}
  start_bus "$dir"
  start_monitor "$dir"
  start_player "$dir" fan --players "$n" --delay-ms 20
  start_cm_service "$dir" "$n"
  follow "$dir/player.log"
  failed=0
  for ((i = 0; i < calls && failed < 5; i++)); do
    cm_call "$ctl" "$followed" "$n" 1 0.05 || failed=$((failed + 1))
  done
  [ $failed -gt 0 ] && say "fan-out: $failed receipts not seen with $n players"
  stop_from "$first"
  exec {ctl}>&- {followed}<&-
  read -r n50 n99 nmax nmissing < <(ring_to_pause "$dir/cm.log" "$dir/player.log" "$n" | stats)
  busy=$(grep -c 'still busy' "$dir/out")
  echo "fan-out (ms, $i calls): $players, the last Pause p50 $n50 p99 $n99 max $nmax" \
    "missing $nmissing (rings met busy: $busy)"
  fan99[$n]=$n99
  fan+="; $players p50 $n50 ms p99 $n99 ms"
done
echo "target: with 50 players p99 below 3 x the p99 with 1: $(within 3 "${fan99[50]}" "${fan99[1]}" below)" \
  "(${fan99[50]} ms vs $(awk -v b="${fan99[1]}" 'BEGIN { printf "%.3f", 3 * b }') ms)"

# 5. The MQTT hop: K chains of a modem, a service hearing it and publishing
# to one mosquitto, and a second service (another machine: a host name of
# its own) following the broker and quieting its player; beside K floors of
# mosquitto_pub -l, fed a line at a time, and linux_floor --mqtt. Each chain
# has a topic of its own; the rings and lines interleave as in measure 1.
say "MQTT hop: $pairs chains and $pairs floors, $calls calls each side"
first=${#pids[@]}
mqtt_dir=$work/mqtt
mkdir -p "$mqtt_dir"
broker_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
printf 'listener %s 127.0.0.1\nallow_anonymous true\npersistence false\n' "$broker_port" >"$mqtt_dir/mosquitto.conf"
mosquitto -c "$mqtt_dir/mosquitto.conf" >"$mqtt_dir/mosquitto.out" 2>&1 &
pids+=($!)
for ((tries = 0; tries < 100; tries++)); do
  (exec 3<>"/dev/tcp/127.0.0.1/$broker_port") 2>/dev/null && break
  sleep 0.1
done
# The publishing services share a bus without players.
start_bus "$mqtt_dir"
publish_bus=$bus
# A host name of their own, so that the followers take their calls.
as_other_host=(unshare --uts)
[ "$(id -u)" = 0 ] || as_other_host+=(--map-root-user)
mqtt_conf() {  # DIR SOURCES TOPIC
  printf 'Enabled=1\nAction=40046\nPopup=0\nSources=%s\nDevice=%s/tty\nMqtt=mqtt://127.0.0.1:%s\nMqttTopic=%s\nMqttDiscovery=0\n' \
    "$2" "$1" "$broker_port" "$3" >"$1/hushcall.conf"
}
for ((i = 0; i < pairs; i++)); do
  dir=$work/mqtts$i
  mkdir -p "$dir"
  "$modemsim" --link "$dir/tty" --transcript "$dir/modem.log" --control "$dir/modem.ctl" \
    --reply-delay-ms 0 </dev/null >"$dir/modem.out" 2>&1 &
  pids+=($!)
  wait_for "$dir/modem.out" '^ready' 10 || { say "MQTT simulator $i did not start"; exit 1; }
  mqtt_conf "$dir" tty "bench$i"
  DBUS_SESSION_BUS_ADDRESS=$publish_bus "${as_other_host[@]}" sh -c 'hostname heard && exec "$@"' heard \
    "$daemon" --config "$dir/hushcall.conf" >"$dir/heard.out" 2>&1 &
  pids+=($!)
  start_bus "$dir"
  start_player "$dir" "m$i"
  mkdir -p "$dir/follower"
  mqtt_conf "$dir/follower" mqtt "bench$i"
  DBUS_SESSION_BUS_ADDRESS=$bus "$daemon" --config "$dir/follower/hushcall.conf" >"$dir/out" 2>&1 &
  pids+=($!)
  { wait_for "$dir/modem.log" ' rx ATZ' 10 && wait_for "$dir/heard.out" 'MQTT: connected' 10 &&
    wait_for "$dir/out" 'MQTT: connected' 10 && wait_for "$dir/out" 'MPRIS: following' 10; } ||
    { say "MQTT chain $i did not start"; exit 1; }

  dir=$work/mqttf$i
  mkdir -p "$dir"
  start_bus "$dir"
  start_player "$dir" "mf$i"
  DBUS_SESSION_BUS_ADDRESS=$bus "$floor" --mqtt "$broker_port" "floor$i" "org.mpris.MediaPlayer2.mf$i" \
    >"$dir/out" 2>&1 &
  pids+=($!)
  wait_for "$dir/out" '^ready' 10 || { say "MQTT floor $i did not start"; exit 1; }
  mkfifo "$dir/pub.fifo"
  mosquitto_pub -h 127.0.0.1 -p "$broker_port" -q 1 -t "floor$i" -l <"$dir/pub.fifo" >/dev/null 2>&1 &
  pids+=($!)
  exec {fd}>"$dir/pub.fifo"
  floor_pub[i]=$fd
done
sleep 0.5  # the modems' "OK", the players' owners asked for
say "$per rounds of $kCallPeriodMs ms"
for ((round = 0; round < per; round++)); do
  for ((i = 0; i < pairs; i++)); do
    echo ring >"$work/mqtts$i/modem.ctl"
    sleep "$gap_s"
    # The floor's "RING": its transcript's time, then the line written.
    echo "${EPOCHREALTIME/./} tx RING;mqtt" >>"$work/mqttf$i/modem.log"
    echo '{"phase":"ringing"}' >&"${floor_pub[i]}"
    sleep "$gap_s"
  done
done
sleep 2
stop_from "$first"
for ((i = 0; i < pairs; i++)); do eval "exec ${floor_pub[i]}>&-"; done
read -r q50 q99 qmax qmissing < <(for ((i = 0; i < pairs; i++)); do
  ring_to_pause "$work/mqtts$i/modem.log" "$work/mqtts$i/player.log" 1; done | stats)
read -r qf50 qf99 qfmax qfmissing < <(for ((i = 0; i < pairs; i++)); do
  ring_to_pause "$work/mqttf$i/modem.log" "$work/mqttf$i/player.log" 1; done | stats)
echo "MQTT hop (ms, $((per * pairs)) calls): hushcalld to hushcalld p50 $q50 p99 $q99 max $qmax missing $qmissing"
echo "MQTT hop (ms, $((per * pairs)) calls): floor                 p50 $qf50 p99 $qf99 max $qfmax missing $qfmissing"
echo "target: MQTT hop p99 at most 1.5 x the floor's p99: $(within 1.5 "$q99" "$qf99")" \
  "($q99 ms vs $(awk -v b="$qf99" 'BEGIN { printf "%.3f", 1.5 * b }') ms)"

# 6. The SIP path: a kamailio as the tests run it; a service registered on
# it and a floor (linux_floor --sip, its UDP port registered by
# bench/sip_caller.py), each on a bus of its own with its player; one caller
# of the bench's own sending INVITEs through kamailio, a service's call and
# a floor's in turn, back to back. The service's call is cancelled once its
# Pause came, and the service's put back awaited; the floor's is left to
# the registrar's timeout.
say "SIP: $calls calls each to a service and a floor, back to back, through kamailio"
first=${#pids[@]}
sip_dir=$work/sip
mkdir -p "$sip_dir/service" "$sip_dir/floor"
registrar_port=$(python3 -c 'import socket; s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
/usr/bin/python3 "$root/daemon/tests/sip_servers.py" kamailio "$sip_dir/kamailio" "$registrar_port" s3cret 3600 \
  </dev/null >"$sip_dir/kamailio.out" 2>&1 &
pids+=($!)
wait_for "$sip_dir/kamailio.out" 'registrar ready' 10 || { say "kamailio did not start"; exit 1; }
dir=$sip_dir/service
start_bus "$dir"
start_player "$dir" sip
echo s3cret >"$dir/sip.password"
chmod 600 "$dir/sip.password"
printf 'Enabled=1\nAction=40046\nPopup=0\nSources=sip\nSipAccount=sip:svc@example.test\nSipRegistrar=127.0.0.1:%s\nSipPasswordFile=%s\n' \
  "$registrar_port" "$dir/sip.password" >"$dir/hushcall.conf"
DBUS_SESSION_BUS_ADDRESS=$bus "$daemon" --config "$dir/hushcall.conf" >"$dir/out" 2>&1 &
pids+=($!)
{ wait_for "$sip_dir/kamailio.out" 'saved svc' 10 && wait_for "$dir/out" 'MPRIS: following' 10; } ||
  { say "the SIP service did not register"; exit 1; }
follow "$dir/player.log"
service_fd=$followed
dir=$sip_dir/floor
start_bus "$dir"
start_player "$dir" sipf
floor_port=$(python3 -c 'import socket; s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$root/bench/sip_caller.py" register "$registrar_port" flr s3cret "$floor_port" ||
  { say "the SIP floor did not register"; exit 1; }
DBUS_SESSION_BUS_ADDRESS=$bus "$floor" --sip "$floor_port" org.mpris.MediaPlayer2.sipf >"$dir/out" 2>&1 &
pids+=($!)
wait_for "$dir/out" '^ready' 10 || { say "the SIP floor did not start"; exit 1; }
follow "$dir/player.log"
floor_fd=$followed
mkfifo "$sip_dir/caller.ctl"
"$root/bench/sip_caller.py" call "$registrar_port" "$sip_dir/caller.ctl" "$sip_dir/caller.log" \
  >"$sip_dir/caller.out" 2>&1 &
pids+=($!)
wait_for "$sip_dir/caller.out" '^ready' 10 || { say "the SIP caller did not start"; exit 1; }
exec {ctl}>"$sip_dir/caller.ctl"
sleep 0.5  # the service's subscription to the account's dialogs
failed=0
for ((i = 0; i < calls && failed < 5; i++)); do
  echo "call svc" >&"$ctl"
  if await "$service_fd" ' Pause$' 1; then
    echo "cancel svc" >&"$ctl"
    await "$service_fd" ' Get PlaybackStatus$' 1 || failed=$((failed + 1))
  else
    failed=$((failed + 1))
  fi
  sleep 0.05
  echo "call flr" >&"$ctl"
  await "$floor_fd" ' Pause$' 1 || failed=$((failed + 1))
  sleep 0.05
done
[ $failed -gt 0 ] && say "SIP: $failed receipts not seen; see the missing counts"
stop_from "$first"
exec {ctl}>&- {service_fd}<&- {floor_fd}<&-
# The caller's transcript, one user's INVITEs at a time.
grep ' INVITE svc$' "$sip_dir/caller.log" | sed 's/ INVITE svc$/ RING;/' >"$sip_dir/service.log"
grep ' INVITE flr$' "$sip_dir/caller.log" | sed 's/ INVITE flr$/ RING;/' >"$sip_dir/floor.log"
read -r p50 p99 pmax pmissing < <(ring_to_pause "$sip_dir/service.log" "$sip_dir/service/player.log" 1 | stats)
read -r pf50 pf99 pfmax pfmissing < <(ring_to_pause "$sip_dir/floor.log" "$sip_dir/floor/player.log" 1 | stats)
echo "SIP (ms, $i calls): hushcalld p50 $p50 p99 $p99 max $pmax missing $pmissing"
echo "SIP (ms, $i calls): floor     p50 $pf50 p99 $pf99 max $pfmax missing $pfmissing"
echo "target: SIP p99 at most 1.5 x the floor's p99: $(within 1.5 "$p99" "$pf99")" \
  "($p99 ms vs $(awk -v b="$pf99" 'BEGIN { printf "%.3f", 1.5 * b }') ms)"

echo "summary: latency p50 $s50 ms p99 $s99 ms; floor p50 $f50 ms p99 $f99 ms; idle wakeups $wakeups/min; rss $rss KiB;" \
  "callmonitor p50 $c50 ms p99 $c99 ms; callmonitor floor p50 $cf50 ms p99 $cf99 ms$fan;" \
  "mqtt hop p50 $q50 ms p99 $q99 ms; mqtt floor p50 $qf50 ms p99 $qf99 ms;" \
  "sip p50 $p50 ms p99 $p99 ms; sip floor p50 $pf50 ms p99 $pf99 ms"
