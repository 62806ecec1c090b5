#!/bin/bash
# The Linux edition's try-it: two simulated calls through hushcalld,
# against a real mpv playing a tone (no sound card needed), on a session bus
# of their own. From the modem simulator: prints the player's PlaybackStatus
# and Volume before and after each call's rings, then the service's log.
# From the call monitor stand-in: a missed call and an answered one, the
# player's state before each RING, during the call and after its
# DISCONNECT, then the lines sent and the service's log.
# Through MQTT: two "machines", each a service with its own mpv on a session
# bus and host name of its own, and a mosquitto on a free loopback port; a
# call at the first one's modem, both players' states before, during and
# after it, then what the broker carried and both logs.
# From a SIP phone system: a kamailio on a free loopback port as registrar
# and presence server, hushcalld registered on it as account 604, baresip
# callers; a missed call and one that a desk phone on the account answers,
# the player's state before, while ringing and after each, then the
# service's log.
#
#   scripts/run.sh --linux [callmonitor|mqtt|sip] [volume|pause|stop]
#     (default: the modem; volume, to 30 %)
set -uo pipefail
cd "$(dirname "$0")/.."
source=modem
case "${1:-}" in callmonitor | mqtt | sip) source=$1 ;; esac
action=${2:-volume}
[ $source = modem ] && action=${1:-volume}
case "$action" in
  volume) code=122 quiet='^PlaybackStatus Playing Volume 0\.3$' ;;
  pause) code=40046 quiet='^PlaybackStatus Paused ' ;;
  stop) code=40047 quiet='^PlaybackStatus Stopped ' ;;
  *) echo "usage: scripts/run.sh --linux [callmonitor|mqtt|sip] [volume|pause|stop]" >&2; exit 2 ;;
esac
if [ -z "${HC_IN_SESSION:-}" ]; then
  scripts/setup.sh || exit 1
  { cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Release &&
    cmake --build build/native -j"${HUSHCALL_JOBS:-$(nproc)}"; } >/dev/null ||
    { echo "run: the build failed; run scripts/build.sh to see why" >&2; exit 1; }
  # The bus daemon's complaint about its file limit, when not root, is noise.
  HC_IN_SESSION=1 exec dbus-run-session -- "$0" "$@" 2> >(grep -v 'Failed to set fd limit' >&2)
fi

export HC_NATIVE=$PWD/build/native
HC_WORK=$(mktemp -d /tmp/hushcall-run-linux.XXXXXX)
. daemon/tests/desktop_lib.sh
trap 'hc_cleanup; rm -rf "$HC_WORK"' EXIT

if [ $source = mqtt ]; then
  port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  printf 'listener %s 127.0.0.1\nallow_anonymous true\npersistence false\n' "$port" >"$HC_WORK/mosquitto.conf"
  mosquitto -c "$HC_WORK/mosquitto.conf" >"$HC_WORK/mosquitto.log" 2>&1 &
  HC_PIDS+=($!)
  for _ in $(seq 100); do
    mosquitto_pub -h 127.0.0.1 -p "$port" -t hello -n 2>/dev/null && break
    sleep 0.05
  done
  mosquitto_sub -h 127.0.0.1 -p "$port" -v -t '#' >"$HC_WORK/broker.log" 2>&1 &
  HC_PIDS+=($!)
  # The second machine's session bus; the first is this session's.
  dbus-daemon --session --nofork --print-address=3 3>"$HC_WORK/lap.bus" >/dev/null &
  HC_PIDS+=($!)
  hc_wait_for "$HC_WORK/lap.bus" . 10 || { echo "run: no second session bus" >&2; exit 1; }
  bus_desk=$DBUS_SESSION_BUS_ADDRESS bus_lap=$(head -1 "$HC_WORK/lap.bus")
  # on MACHINE COMMAND...: COMMAND with that machine's bus and mpv.
  on() {
    local bus=bus_$1 mpv=mpv_$1 rc
    HC_MPV_PID=${!mpv:-}
    DBUS_SESSION_BUS_ADDRESS=${!bus} "${@:2}"
    rc=$?
    printf -v "$mpv" %s "$HC_MPV_PID"
    return $rc
  }
  # Each service in a host name of its own, which names its topics: a
  # service takes no call that carries its own name.
  hostname_as=(unshare --uts)
  [ "$(id -u)" = 0 ] || hostname_as+=(--map-root-user)
  # machine NAME KEY=VALUE...: hushcalld as NAME on the broker; returns once
  # it is connected.
  machine() {
    printf '%s\n' Enabled=1 "Mqtt=mqtt://127.0.0.1:$port" "${@:2}" >"$HC_WORK/$1.conf"
    "${hostname_as[@]}" sh -c 'hostname "$0" && exec "$@"' "$1" \
      "$HC_NATIVE/daemon/hushcalld" --config "$HC_WORK/$1.conf" >"$HC_WORK/$1.log" 2>&1 &
    HC_PIDS+=($!)
    hc_wait_for "$HC_WORK/$1.log" 'MQTT: connected to the broker' 10
  }
  on desk hc_start_mpv && on lap hc_start_mpv || exit 1
  hc_start_modem ttyHC0 --caller 0301234567,ALICE ||
    { echo "run: the modem simulator did not start" >&2; exit 1; }
  settings=("Action=$code" Volume=30 Percent=0 Popup=0)
  on desk machine desk Sources=tty "Device=$HC_WORK/ttyHC0" CallerId=1 MqttCallerId=1 "${settings[@]}" &&
    hc_wait_for "$HC_WORK/ttyHC0.log" ' rx ATZ' 10 && on lap machine lap Sources=mqtt "${settings[@]}" ||
    { echo "run: a service did not start" >&2; cat "$HC_WORK"/desk.log "$HC_WORK"/lap.log >&2; exit 1; }
  sleep 0.5
  states() {
    echo "  $1"
    echo "    desk (the modem's): $(on desk hc_mpv_state)"
    echo "    lap (through MQTT): $(on lap hc_mpv_state)"
  }
  echo "two machines, desk (Sources=tty) and lap (Sources=mqtt), on mosquitto at 127.0.0.1:$port;" \
    "action: $action"
  on desk hc_mpv_playing 0.8 && on lap hc_mpv_playing 0.8
  states "before the call:"
  echo "ring 3 1000" >"$HC_WORK/ttyHC0.ctl"
  on desk hc_until_state "$quiet" && desk_quiet=1 || desk_quiet=0
  on lap hc_until_state "$quiet" && lap_quiet=1 || lap_quiet=0
  states "ringing at desk's modem:"
  # A modem's call is over 10 s after its last ring, its end unknown: the
  # call model leaves the music as it is then.
  hc_wait_for "$HC_WORK/broker.log" '/desk/state idle$' 20 2
  states "after the call (a modem's call has no known end: both stay as they are):"
  echo
  echo "What the broker carried (mosquitto_sub -v -t '#'):"
  sed 's/^/  /' "$HC_WORK/broker.log"
  for name in desk lap; do
    echo "$name's log:"
    sed 's/^/  /' "$HC_WORK/$name.log"
  done
  echo "quieted by the call: desk $desk_quiet of 1, lap $lap_quiet of 1"
  [ $desk_quiet = 1 ] && [ $lap_quiet = 1 ]
  exit
fi

hc_start_mpv || exit 1

if [ $source = sip ]; then
  # kamailio and baresip as the tests run them (daemon/tests/sip_servers.py).
  # Each becomes the server it starts, so that $! is the server.
  servers=(/usr/bin/python3 daemon/tests/sip_servers.py)
  port=$(/usr/bin/python3 -c 'import socket; s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  "${servers[@]}" kamailio "$HC_WORK/kamailio" "$port" s3cret 60 2>"$HC_WORK/kamailio.log" &
  HC_PIDS+=($!)
  hc_wait_for "$HC_WORK/kamailio.log" 'registrar ready' 10 || { echo "run: kamailio did not start" >&2; exit 1; }
  echo s3cret >"$HC_WORK/sip.password"
  chmod 600 "$HC_WORK/sip.password"
  hc_run_service Sources=sip SipAccount=sip:604@example.test "SipRegistrar=127.0.0.1:$port" \
    "SipPasswordFile=$HC_WORK/sip.password" "Action=$code" Volume=30 Percent=0 Popup=1
  hc_wait_for "$HC_WORK/hushcalld.log" "dialog events are heard" 10 ||
    { echo "run: hushcalld did not register" >&2; cat "$HC_WORK/hushcalld.log" >&2; exit 1; }
  echo "hushcalld against mpv ($HC_MPV), registered as sip:604@example.test at kamailio on" \
    "127.0.0.1:$port; action: $action"
  # dial NAME USER [answered]: a call from baresip as NAME, given up after
  # 2 s, or answered by a desk phone on the account and hung up after 2 s.
  quieted=0 put_back=0
  dial() {
    local desk="" caller before
    hc_mpv_playing 0.8
    before=$(hc_mpv_state)
    echo "  before the call: $before"
    if [ -n "${3:-}" ]; then
      "${servers[@]}" baresip "$HC_WORK/desk" "Desk phone" 604 "$port" "auth_pass=s3cret;answermode=auto" \
        >"$HC_WORK/desk.log" 2>&1 &
      desk=$!
      hc_wait_for "$HC_WORK/desk.log" '200 OK' 10
    fi
    "${servers[@]}" baresip "$HC_WORK/$2" "$1" "$2" "$port" regint=0 "/dial sip:604@example.test" \
      >"$HC_WORK/$2.log" 2>&1 &
    caller=$!
    hc_until_state "$quiet" && quieted=$((quieted + 1))
    echo "  ringing:         $(hc_mpv_state)"
    sleep 2
    [ -n "$desk" ] && echo "  answered:        $(hc_mpv_state)"
    kill "$caller"
    wait "$caller" 2>/dev/null
    hc_until_state "^${before//./\\.}\$" && put_back=$((put_back + 1))
    echo "  after it:        $(hc_mpv_state)"
    if [ -n "$desk" ]; then
      kill "$desk"
      wait "$desk" 2>/dev/null
    fi
  }
  echo "call 1, from Ann Lee, missed:"
  dial "Ann Lee" 201
  echo "call 2, from Bob, answered by the desk phone:"
  dial Bob 202 answered
  echo
  echo "kamailio's requests and replies:"
  grep -o '<script>: .*' "$HC_WORK/kamailio.log" | sed 's/^<script>: /  /'
  echo "hushcalld's log:"
  sed 's/^/  /' "$HC_WORK/hushcalld.log"
  echo "calls that quieted the player: $quieted of 2; put back: $put_back of 2"
  [ "$quieted" -eq 2 ] && [ "$put_back" -eq 2 ]
  exit
fi

if [ $source = callmonitor ]; then
  hc_start_callmonitor router || { echo "run: the call monitor stand-in did not start" >&2; exit 1; }
  hc_start_callmonitor_service router "Action=$code" Volume=30 Percent=0 Popup=1 ||
    { echo "run: hushcalld never connected" >&2; cat "$HC_WORK/hushcalld.log" >&2; exit 1; }
  echo "hushcalld against mpv ($HC_MPV) and a call monitor on 127.0.0.1:$HC_CALLMONITOR_PORT;" \
    "action: $action"
  send() { echo "$1" >"$HC_WORK/router.ctl"; }
  quieted=0 put_back=0
  for call in 1 2; do
    hc_mpv_playing 0.8
    before=$(hc_mpv_state)
    [ $call = 1 ] && echo "call 1, missed:" || echo "call 2, answered:"
    echo "  before its RING:      $before"
    send "RING;$call;0301234567;5550100;SIP0;"
    hc_until_state "$quiet" && quieted=$((quieted + 1))
    echo "  ringing:              $(hc_mpv_state)"
    sleep 2
    if [ $call = 2 ]; then
      send "CONNECT;$call;1;0301234567;"
      sleep 2
      echo "  answered:             $(hc_mpv_state)"
      send "DISCONNECT;$call;2;"
    else
      send "DISCONNECT;$call;0;"
    fi
    hc_until_state "^${before//./\\.}\$" && put_back=$((put_back + 1))
    echo "  after its DISCONNECT: $(hc_mpv_state)"
  done
  echo
  echo "The call monitor's lines, in seconds from the service's connection:"
  awk 'NR == 1 { t0 = $1 } { printf "  %7.3f s  ", ($1 - t0) / 1e6; $1 = ""; print substr($0, 2) }' \
    "$HC_WORK/router.log"
  echo "hushcalld's log:"
  sed 's/^/  /' "$HC_WORK/hushcalld.log"
  echo "calls that quieted the player: $quieted of 2; put back: $put_back of 2"
  [ "$quieted" -eq 2 ] && [ "$put_back" -eq 2 ]
  exit
fi

hc_start_modem ttyHC0 || { echo "run: the modem simulator did not start" >&2; exit 1; }
hc_start_service ttyHC0 "Action=$code" Volume=30 Percent=0 Popup=1 ||
  { echo "run: hushcalld never reset the modem" >&2; cat "$HC_WORK/hushcalld.log" >&2; exit 1; }

echo "hushcalld against mpv ($HC_MPV); action: $action"
quieted=0
for call in 1 2; do
  hc_mpv_playing 0.8
  before=$(hc_mpv_state)
  echo "call $call, before its rings: $before"
  echo "ring 3 1000" >"$HC_WORK/ttyHC0.ctl"
  sleep 2.5
  after=$(hc_mpv_state)
  echo "call $call, after 3 rings:    $after"
  [ "$after" != "$before" ] && quieted=$((quieted + 1))
  # A call ends 10 s after its last ring; the next one is a new call.
  [ $call = 1 ] && sleep 10.5
done
echo
echo "Rings sent: $(grep -c 'tx RING' "$HC_WORK/ttyHC0.log"); calls that quieted the player: $quieted of 2"
echo "hushcalld's log:"
sed 's/^/  /' "$HC_WORK/hushcalld.log"
[ "$quieted" -eq 2 ]
