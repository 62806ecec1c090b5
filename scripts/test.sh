#!/bin/bash
# Runs every test: the native unit tests, the same core tests under
# AddressSanitizer and UndefinedBehaviorSanitizer with a bounded run of each
# fuzz target (build/sanitize, clang), then the Windows-side and end-to-end
# tests under Wine, for each edition this machine runs (scripts/arches.sh;
# HUSHCALL_ARCHES overrides it). Both editions are always built, and their
# DLLs' shape checked. Installs what is missing first.
set -uo pipefail
cd "$(dirname "$0")/.."
given=${HUSHCALL_ARCHES:-}
HUSHCALL_ARCHES=$(scripts/arches.sh) || exit 1
export HUSHCALL_ARCHES
echo "test: the Windows-side tests run for: $HUSHCALL_ARCHES"
scripts/setup.sh || exit 1
scripts/build.sh || exit 1
scripts/build-sanitize.sh || exit 1

status=0
logs=(build/native-tests.log build/sanitize-tests.log)
ctest --test-dir build/native --output-on-failure -j2 | tee build/native-tests.log || status=1
ctest --test-dir build/sanitize --output-on-failure -j2 | tee build/sanitize-tests.log || status=1

# ctest's summary line: "N passed, M failed".
counts() {
  grep -hEo '[0-9]+ tests failed out of [0-9]+|100% tests passed, 0 tests failed out of [0-9]+' "$@" |
    awk '/100%/ {p += $NF} !/100%/ {p += $NF - $1; f += $1} END {printf "%d passed, %d failed\n", p, f}'
}

editions=()
for edition in win32 win64; do
  log=build/$edition-tests.log
  logs+=("$log")
  if [[ " $HUSHCALL_ARCHES " == *" $edition "* ]]; then
    ctest --test-dir build/$edition --output-on-failure --timeout 600 | tee "$log" || status=1
    editions+=("$edition: $(counts "$log")")
  else
    ctest --test-dir build/$edition --output-on-failure -L '^pe$' | tee "$log" || status=1
    why="this kernel runs no 32-bit code"
    [ -n "$given" ] && why="HUSHCALL_ARCHES=$given"
    editions+=("$edition: not run: $why (built; machine, exports, imports and size checked: $(counts "$log"))")
  fi
done

echo
printf '%s\n' "${editions[@]}"
# One closing line for every run.
counts "${logs[@]}"
exit $status
