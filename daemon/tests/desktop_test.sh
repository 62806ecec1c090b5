#!/bin/bash
# hushcalld end to end on a session bus of its own (run under
# dbus-run-session): real rings from the modem simulator lower, pause and
# stop a real mpv, each checked on the bus; a call monitor's RING lowers it
# and its DISCONNECT puts it back; 50 rings 100 ms apart are one
# call; a reload moves the port during a modem's answer; and the session
# bus going away ends the service with a failure and a clear line, for its
# unit to restart it.
#
#   desktop_test.sh NATIVE_BUILD
set -uo pipefail
export HC_NATIVE=$1
HC_WORK=$(mktemp -d /tmp/hushcall-desktop-test.XXXXXX)
. "$(dirname "$0")/desktop_lib.sh"
trap 'hc_cleanup; rm -rf "$HC_WORK"' EXIT
failures=0
check() {  # CONDITION-STATUS WHAT
  if [ "$1" -eq 0 ]; then echo "ok   $2"; else echo "FAIL $2"; failures=$((failures + 1)); fi
}

hc_start_mpv || exit 1
hc_start_modem tty0 || exit 1

# ring_changes CODE REGEX WHAT: a service with Action CODE, one ring, and
# mpv's state matches REGEX.
ring_changes() {
  hc_mpv_playing 0.8
  local before
  before=$(hc_mpv_state)
  hc_start_service tty0 "Action=$1" Volume=30 Percent=0 Popup=0
  echo ring >"$HC_WORK/tty0.ctl"
  hc_until_state "$2"
  check $? "a ring from the modem: mpv $3 ($before -> $(hc_mpv_state))"
  hc_stop_service
}
# One service per action, so each ring is the first of a call.
ring_changes 122 '^PlaybackStatus Playing Volume 0\.3$' "lowered to 30 %"
ring_changes 40046 '^PlaybackStatus Paused ' paused
ring_changes 40047 '^PlaybackStatus Stopped ' stopped

# A call from the call monitor: its RING lowers mpv, which stays low until
# the call ends, and its DISCONNECT puts the volume back.
hc_start_callmonitor router || exit 1
hc_mpv_playing 0.8
before=$(hc_mpv_state)
hc_start_callmonitor_service router Action=122 Volume=30 Percent=0 Popup=0
echo 'RING;0;0301234567;5550100;SIP0;' >"$HC_WORK/router.ctl"
hc_until_state '^PlaybackStatus Playing Volume 0\.3$'
check $? "a RING from the call monitor: mpv lowered to 30 % ($before -> $(hc_mpv_state))"
sleep 1
hc_mpv_state | grep -qE '^PlaybackStatus Playing Volume 0\.3$'
check $? "and it stays lowered until the call ends ($(hc_mpv_state))"
echo 'DISCONNECT;0;0;' >"$HC_WORK/router.ctl"
hc_until_state "^${before//./\\.}\$"
check $? "the DISCONNECT puts mpv's volume back ($(hc_mpv_state))"
hc_stop_service

# 50 rings 100 ms apart: one call, one reaction (the player counts them).
python_player=$(dirname "$0")/../../bench/linux_player.py
/usr/bin/python3 "$python_player" counter "$HC_WORK/counter.log" >"$HC_WORK/counter.out" 2>&1 &
HC_PIDS+=($!)
hc_wait_for "$HC_WORK/counter.out" '^ready' 10
hc_start_service tty0 Action=40046 Popup=0
echo "ring 50 100" >"$HC_WORK/tty0.ctl"
sleep 6
pauses=$(grep -c Pause "$HC_WORK/counter.log" 2>/dev/null)
check $([ "$pauses" = 1 ]; echo $?) "50 rings 100 ms apart are one call: $pauses pause(s)"
hc_stop_service

# A reload that moves the port while the service waits for a silent
# modem's answer: the new modem is reset, and the service lives on.
hc_start_modem silent --answer none || exit 1
hc_start_modem tty1 || exit 1
hc_start_service silent Popup=0
sed -i "s|^Device=.*|Device=$HC_WORK/tty1|" "$HC_WORK/hushcall.conf"
kill -HUP "$HC_SERVICE"
hc_wait_for "$HC_WORK/tty1.log" ' rx ATZ' 10
check $? "a port moved by a reload during the modem's answer is reset"
sleep 0.5
kill -0 "$HC_SERVICE" 2>/dev/null
check $? "and the service is still running"
hc_stop_service

# The session bus goes away: a private one, ended under the service.
address_file=$HC_WORK/bus
dbus-daemon --session --nofork --print-address=3 3>"$address_file" </dev/null >/dev/null 2>&1 &
bus_pid=$!
hc_wait_for "$address_file" . 10
DBUS_SESSION_BUS_ADDRESS=$(head -1 "$address_file") hc_start_service tty0 Popup=0
kill "$bus_pid"
timeout 10 tail --pid="$HC_SERVICE" -f /dev/null
wait "$HC_SERVICE"
status=$?
check $([ "$status" = 1 ]; echo $?) "the session bus gone: the service exits with 1 (got $status)"
grep -q 'the session bus went away' "$HC_WORK/hushcalld.log"
check $? "and says why: $(grep -m1 'session bus' "$HC_WORK/hushcalld.log")"

[ "$failures" -eq 0 ] || { echo "--- hushcalld's log"; cat "$HC_WORK/hushcalld.log"; }
exit $((failures > 0))
