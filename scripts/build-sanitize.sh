#!/bin/bash
# Configures and builds build/sanitize: the portable core and its unit tests
# under AddressSanitizer and UndefinedBehaviorSanitizer, and the fuzz
# targets, with clang.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${HUSHCALL_JOBS:-$(nproc)}
cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DHUSHCALL_SANITIZE=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build/sanitize -j"$jobs"
