#!/bin/bash
# Fuzzes every parser of the portable core for as long as asked:
#   scripts/fuzz.sh [seconds per target, default 600] [target...]
# Each target starts from its checked-in seeds (fuzz/seeds/<target>) and
# keeps what it learns in build/fuzz-corpus/<target>, so a later run goes on
# from there. A finding stops that target and is left as crash-* or
# timeout-* in build/fuzz-findings; the script then fails.
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(ring_scanner_fuzz conversions_fuzz options_text_fuzz call_monitor_fuzz
  caller_id_fuzz call_message_fuzz dialog_info_fuzz)
scripts/setup.sh && scripts/build-sanitize.sh || exit 1

mkdir -p build/fuzz-findings
status=0
for target in "${targets[@]}"; do
  corpus=build/fuzz-corpus/$target
  mkdir -p "$corpus"
  log=build/fuzz-findings/$target.log
  build/sanitize/fuzz/$target -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix=build/fuzz-findings/ "$corpus" "fuzz/seeds/$target" >"$log" 2>&1
  rc=$?
  [ $rc -ne 0 ] && status=1
  runs=$(grep -Eo 'number_of_executed_units: [0-9]+' "$log" | grep -Eo '[0-9]+$')
  echo "$target: ${runs:-?} runs in ${seconds} s, corpus $(ls "$corpus" | wc -l) inputs" \
    "$( [ $rc -eq 0 ] && echo ok || echo "FINDING, see $log")"
done
exit $status
