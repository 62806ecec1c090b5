# Shell helpers for trying and testing hushcalld on a desktop session bus:
# a real mpv playing a tone, the modem simulator, the call monitor
# stand-in, and the service. Sourced
# by daemon/tests/desktop_test.sh and scripts/run_linux.sh, which set
# HC_NATIVE (the native build) and HC_WORK (a scratch folder), and run
# inside a session bus of their own.

HC_PIDS=()
hc_cleanup() {
  local pid
  for pid in "${HC_PIDS[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
}

# hc_wait_for FILE REGEX SECONDS [COUNT]: COUNT lines (1) match.
hc_wait_for() {
  local end=$((SECONDS + $3)) n
  until n=$(grep -cE "$2" "$1" 2>/dev/null); [ "${n:-0}" -ge "${4:-1}" ]; do
    [ $SECONDS -ge $end ] && return 1
    sleep 0.05
  done
}

# hc_start_mpv: mpv with its MPRIS plug-in, looping a quiet tone with no
# audio device, and staying when stopped; its bus name in HC_MPV, its pid
# in HC_MPV_PID.
hc_start_mpv() {
  [ -f "$HC_WORK/tone.wav" ] || sox -n -r 8000 -c 1 "$HC_WORK/tone.wav" synth 30 sine 440 vol 0.1 ||
    return 1
  mpv --no-config --ao=null --no-video --idle=yes --loop-file=inf --volume=80 \
    --script=/usr/lib/mpv-mpris/mpris.so "$HC_WORK/tone.wav" >"$HC_WORK/mpv.out" 2>&1 &
  HC_MPV_PID=$!
  HC_PIDS+=($HC_MPV_PID)
  HC_MPV=""
  local _
  for _ in $(seq 200); do
    HC_MPV=$(dbus-send --session --print-reply=literal --dest=org.freedesktop.DBus / \
      org.freedesktop.DBus.ListNames | tr ' ' '\n' | grep -m1 '^org\.mpris\.MediaPlayer2\.mpv$')
    [ -n "$HC_MPV" ] && return 0
    sleep 0.05
  done
  echo "mpv did not come onto the bus" >&2
  return 1
}

hc_mpv_call() {
  dbus-send --session --print-reply=literal --dest="$HC_MPV" /org/mpris/MediaPlayer2 "$@"
}
# hc_mpv_get PROPERTY: PlaybackStatus or Volume, as text.
hc_mpv_get() {
  hc_mpv_call org.freedesktop.DBus.Properties.Get string:org.mpris.MediaPlayer2.Player \
    "string:$1" | awk '{ print $NF }'
}
# hc_mpv_playing VOLUME: playing, at VOLUME (1.0 is full).
hc_mpv_playing() {
  # Stopped, mpv has let go of its file and plays nothing: a new one does.
  if [ "$(hc_mpv_get PlaybackStatus)" = Stopped ]; then
    kill "$HC_MPV_PID"
    wait "$HC_MPV_PID" 2>/dev/null
    hc_start_mpv || return 1
  fi
  hc_mpv_call org.mpris.MediaPlayer2.Player.Play >/dev/null
  hc_mpv_call org.freedesktop.DBus.Properties.Set string:org.mpris.MediaPlayer2.Player \
    string:Volume "variant:double:$1" >/dev/null
  local _
  for _ in $(seq 100); do
    [ "$(hc_mpv_get PlaybackStatus)" = Playing ] && return 0
    sleep 0.05
  done
  return 1
}
hc_mpv_state() { echo "PlaybackStatus $(hc_mpv_get PlaybackStatus) Volume $(hc_mpv_get Volume)"; }
# hc_until_state REGEX: mpv's state matches within about 5 s.
hc_until_state() {
  local _
  for _ in $(seq 100); do
    hc_mpv_state | grep -qE "$1" && return 0
    sleep 0.05
  done
  return 1
}

# hc_start_modem NAME [modemsim options]: the simulator on $HC_WORK/NAME,
# driven through $HC_WORK/NAME.ctl.
hc_start_modem() {
  local name=$1
  shift
  "$HC_NATIVE/tools/modemsim/modemsim" --link "$HC_WORK/$name" --transcript "$HC_WORK/$name.log" \
    --control "$HC_WORK/$name.ctl" "$@" </dev/null >"$HC_WORK/$name.out" 2>&1 &
  HC_PIDS+=($!)
  hc_wait_for "$HC_WORK/$name.out" '^ready' 10
}

# hc_start_callmonitor NAME: the call monitor stand-in on a free loopback
# port (in HC_CALLMONITOR_PORT), written to through $HC_WORK/NAME.ctl.
hc_start_callmonitor() {
  local name=$1
  /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/../../tools/callmonitorsim/callmonitorsim.py" \
    --control "$HC_WORK/$name.ctl" --transcript "$HC_WORK/$name.log" </dev/null >"$HC_WORK/$name.out" 2>&1 &
  HC_PIDS+=($!)
  hc_wait_for "$HC_WORK/$name.out" '^ready' 10 || return 1
  HC_CALLMONITOR_PORT=$(sed -n 's/^ready //p' "$HC_WORK/$name.out")
}

# hc_run_service KEY=VALUE...: hushcalld with these settings. Its pid in
# HC_SERVICE, its log in $HC_WORK/hushcalld.log.
hc_run_service() {
  printf '%s\n' Enabled=1 "$@" >"$HC_WORK/hushcall.conf"
  "$HC_NATIVE/daemon/hushcalld" --config "$HC_WORK/hushcall.conf" >>"$HC_WORK/hushcalld.log" 2>&1 &
  HC_SERVICE=$!
  HC_PIDS+=($HC_SERVICE)
}

# hc_start_service MODEM KEY=VALUE...: hushcalld watching the simulator
# MODEM; returns once it has reset the modem.
hc_start_service() {
  local modem=$1
  shift
  hc_run_service Sources=tty "Device=$HC_WORK/$modem" "$@"
  hc_wait_for "$HC_WORK/$modem.log" ' rx ATZ' 10 && sleep 0.3
}

# hc_start_callmonitor_service NAME KEY=VALUE...: hushcalld watching the
# stand-in NAME; returns once it has connected (once more than before).
hc_start_callmonitor_service() {
  local name=$1
  shift
  local connected
  connected=$(grep -c ' connected$' "$HC_WORK/$name.log" 2>/dev/null)
  hc_run_service Sources=callmonitor "CallMonitor=127.0.0.1:$HC_CALLMONITOR_PORT" "$@"
  # Connected, it has yet to list the players.
  hc_wait_for "$HC_WORK/$name.log" ' connected$' 10 $((connected + 1)) && sleep 0.3
}

hc_stop_service() {
  kill "$HC_SERVICE" 2>/dev/null
  wait "$HC_SERVICE" 2>/dev/null
}
