#!/bin/bash
# Runs ringwatch_win32_tests under Wine with the modem simulator on COM5.
# A hangup case closes the line, so each gets a simulator of its own.
#   run_tests.sh <ringwatch_win32_tests.exe> <modemsim>
set -u
exe=$1
modemsim=$2
root=$(cd "$(dirname "$0")/../../.." && pwd)
. "$root/tests/wine/wine-env.sh"

modem_pid=""
stop_modem() {
  [ -n "$modem_pid" ] || return 0
  kill "$modem_pid" 2>/dev/null
  wait "$modem_pid" 2>/dev/null
  modem_pid=""
}
cleanup() {
  stop_modem
  hc_wine_teardown
}
trap cleanup EXIT

# Starts the simulator on COM5 and waits for its "ready" line.
start_modem() {
  local dir=$WINEPREFIX/modem-$1
  mkdir -p "$dir"
  rm -f "$dir/control"
  "$modemsim" --link "$WINEPREFIX/dosdevices/com5" --transcript "$dir/transcript" \
    --control "$dir/control" --reply-delay-ms 20 </dev/null >"$dir/stdout" 2>"$dir/stderr" &
  modem_pid=$!
  for _ in $(seq 100); do
    grep -q '^ready ' "$dir/stdout" 2>/dev/null && break
    kill -0 "$modem_pid" 2>/dev/null || break
    sleep 0.05
  done
  if ! grep -q '^ready ' "$dir/stdout" 2>/dev/null; then
    echo "run_tests: the modem simulator did not start" >&2
    cat "$dir/stderr" >&2
    return 1
  fi
  export HC_MODEM_CONTROL=$(hc_winpath "$dir/control")
  export HC_MODEM_TRANSCRIPT=$(hc_winpath "$dir/transcript")
}

[ -x "$modemsim" ] || { echo "run_tests: no modem simulator at '$modemsim' (set HUSHCALL_NATIVE_BUILD)" >&2; exit 1; }
hc_wine_setup || exit 1

status=0
start_modem main || exit 1
wine "$exe" --gtest_filter='-CommHangup.*' </dev/null || status=1
stop_modem

hangup_cases=$(wine "$exe" --gtest_list_tests --gtest_filter='CommHangup.*' </dev/null | tr -d '\r' | sed -n 's/^  //p')
[ -n "$hangup_cases" ] || { echo "run_tests: no CommHangup cases listed" >&2; status=1; }
for case in $hangup_cases; do
  start_modem "$case" || exit 1
  wine "$exe" --gtest_filter="CommHangup.$case" </dev/null || status=1
  stop_modem
done
exit $status
