#!/bin/bash
# Configures and builds the native configuration (build/native) and both
# Windows editions (build/win64, build/win32), whatever this machine runs:
# the 64-bit build's type-library writer writes the 32-bit edition's too.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${HUSHCALL_JOBS:-$(nproc)}
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/native -j"$jobs"
cmake -S . -B build/win64 -DCMAKE_BUILD_TYPE=Release --no-warn-unused-cli \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
  -DHUSHCALL_NATIVE_BUILD="$PWD/build/native" \
  -DHUSHCALL_OTHER_EDITION_BUILD="$PWD/build/win32" >/dev/null
cmake --build build/win64 -j"$jobs"
cmake -S . -B build/win32 -DCMAKE_BUILD_TYPE=Release --no-warn-unused-cli \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
  -DHUSHCALL_NATIVE_BUILD="$PWD/build/native" \
  -DHUSHCALL_OTHER_EDITION_BUILD="$PWD/build/win64" \
  -DHUSHCALL_TYPELIB_WRITER="$PWD/build/win64/plugin/win32/hushcall_make_typelib.exe" >/dev/null
cmake --build build/win32 -j"$jobs"
