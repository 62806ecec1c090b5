#!/bin/bash
# The Linux edition's try-it: two simulated calls from the modem simulator
# through hushcalld, against a real mpv playing a tone (no sound card
# needed), on a session bus of their own. Prints the player's
# PlaybackStatus and Volume before and after each call's rings, then the
# service's log.
#
#   scripts/run.sh --linux [volume|pause|stop]   (default: volume, to 30 %)
set -uo pipefail
cd "$(dirname "$0")/.."
action=${1:-volume}
case "$action" in
  volume) code=122 ;;
  pause) code=40046 ;;
  stop) code=40047 ;;
  *) echo "usage: scripts/run.sh --linux [volume|pause|stop]" >&2; exit 2 ;;
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

hc_start_mpv || exit 1
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
