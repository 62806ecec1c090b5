#!/bin/bash
# The main job: two simulated incoming calls, end to end.
#
# The stand-in player runs under Wine with our host wrapper and Hushcall.dll
# in its plug-in folder: the 32-bit edition where this machine runs 32-bit
# code, else the 64-bit one (HUSHCALL_ARCHES chooses too). The modem
# simulator plays a modem on a pseudo-terminal mapped to COM5. Hushcall resets the modem, recognises the
# rings and reacts once per call. Prints the line's transcript and the
# player's messages on one time line.
#
#   scripts/run.sh [volume|pause|stop]      (default: volume, to 30 %)
#   scripts/run.sh --linux [callmonitor|mqtt|sip] [volume|pause|stop]: the
#     Linux edition's try-it, hushcalld against a real mpv, with calls from
#     the modem simulator or a call monitor stand-in, two services sharing a
#     call through mosquitto, or a kamailio and baresip callers
#     (scripts/run_linux.sh)
set -uo pipefail
cd "$(dirname "$0")/.."
[ "${1:-}" = --linux ] && { shift; exec scripts/run_linux.sh "$@"; }
action=${1:-volume}
case "$action" in
  volume) code=122 ;;
  pause) code=40046 ;;
  stop) code=40047 ;;
  *) echo "usage: scripts/run.sh [volume|pause|stop]" >&2; exit 2 ;;
esac

HUSHCALL_ARCHES=$(scripts/arches.sh) || exit 1
export HUSHCALL_ARCHES
edition=$(scripts/arches.sh --one)
scripts/setup.sh || exit 1
scripts/build.sh >/dev/null || { echo "run: the build failed; run scripts/build.sh to see why" >&2; exit 1; }

export HC_WINE_ARCH=$edition HC_WIN_BUILD=$PWD/build/$edition
export HC_MODEMSIM=$PWD/build/native/tools/modemsim/modemsim
. tests/e2e/lib.sh
e2e_begin

echo "Hushcall ($edition edition): two calls of three rings, 12 s apart; action: $action"
e2e_settings Enabled=1 COMPort=5 Action=$code Volume=30 Percent=0 Popup=0
e2e_modem --calls 2 --rings 3 --ring-interval-ms 2000 --call-gap-ms 12000 --first-ring-ms 1000
e2e_player --state playing --volume 200 --exit-after-ms 26000
wait "$HC_PLAYER_PID"
rc=$?

# One time line, in seconds from the player's start.
{
  sed -n 's/^\([0-9]*\) \(rx\|tx\|ev\) \(.*\)/\1 modem  \2 \3/p' "$HC_WORK/modem.log"
  sed -n 's/^\([0-9]*\) \(.*\)/\1 player \2/p' "$HC_WORK/player.log"
} | sort -n | awk 'NR == 1 { t0 = $1 } { printf "%8.3f s  ", ($1 - t0) / 1e6; $1 = ""; print substr($0, 2) }'

reactions=$(grep -Ec 'msg (WM_USER wParam=[0-9]+ lParam=122|WM_COMMAND wParam=4004[67])' "$HC_WORK/player.log")
echo
echo "Rings sent: $(grep -c 'tx RING' "$HC_WORK/modem.log"); reactions at the player: $reactions (one per call)"
[ "$rc" -eq 0 ] && [ "$reactions" -eq 2 ]
