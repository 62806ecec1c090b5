#!/bin/bash
# Runs every test: the native unit tests, the same core tests under
# AddressSanitizer and UndefinedBehaviorSanitizer with a bounded run of each
# fuzz target (build/sanitize, clang), then the Windows-side and end-to-end
# tests under Wine. Installs what is missing first.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh || exit 1
scripts/build.sh || exit 1
scripts/build-sanitize.sh || exit 1

status=0
ctest --test-dir build/native --output-on-failure -j2 | tee build/native-tests.log || status=1
ctest --test-dir build/sanitize --output-on-failure -j2 | tee build/sanitize-tests.log || status=1
ctest --test-dir build/win32 --output-on-failure --timeout 600 | tee build/win32-tests.log || status=1

# One closing line for all three runs.
passed=$(grep -hEo '[0-9]+ tests failed out of [0-9]+|100% tests passed, 0 tests failed out of [0-9]+' build/native-tests.log build/sanitize-tests.log build/win32-tests.log |
  awk '/100%/ {p += $NF} !/100%/ {p += $NF - $1; f += $1} END {print p+0}')
failed=$(grep -hEo '[0-9]+ tests failed out of [0-9]+' build/native-tests.log build/sanitize-tests.log build/win32-tests.log |
  awk '{f += $1} END {print f+0}')
echo "$passed passed, $failed failed"
exit $status
