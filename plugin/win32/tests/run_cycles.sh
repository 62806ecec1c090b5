#!/bin/bash
# Runs plugin_cycles_test under Wine with a modem simulator on COM5 that
# answers at once. HUSHCALL_CYCLES passes through (bench/soak.sh sets it).
#   run_cycles.sh <plugin_cycles_test.exe> <modemsim>
set -u
exe=$1
modemsim=$2
root=$(cd "$(dirname "$0")/../../.." && pwd)
. "$root/tests/wine/wine-env.sh"
[ -x "$modemsim" ] || { echo "run_cycles: no modem simulator at '$modemsim'" >&2; exit 1; }

modem_pid=""
cleanup() {
  [ -n "$modem_pid" ] && { kill "$modem_pid" 2>/dev/null; wait "$modem_pid" 2>/dev/null; }
  hc_wine_teardown
}
trap cleanup EXIT
hc_wine_setup || exit 1

dir=$WINEPREFIX/modem
mkdir -p "$dir"
"$modemsim" --link "$WINEPREFIX/dosdevices/com5" --transcript "$dir/transcript" --reply-delay-ms 0 \
  </dev/null >"$dir/stdout" 2>"$dir/stderr" &
modem_pid=$!
for _ in $(seq 100); do
  grep -q '^ready ' "$dir/stdout" 2>/dev/null && break
  sleep 0.05
done
grep -q '^ready ' "$dir/stdout" || { echo "run_cycles: the modem simulator did not start" >&2; cat "$dir/stderr" >&2; exit 1; }
export HC_MODEM_TRANSCRIPT=$(hc_winpath "$dir/transcript")
wine "$exe" </dev/null
