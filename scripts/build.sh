#!/bin/bash
# Configures and builds both configurations: build/native and build/win32.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${HUSHCALL_JOBS:-$(nproc)}
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/native -j"$jobs"
cmake -S . -B build/win32 -DCMAKE_BUILD_TYPE=Release --no-warn-unused-cli \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
  -DHUSHCALL_NATIVE_BUILD="$PWD/build/native" >/dev/null
cmake --build build/win32 -j"$jobs"
