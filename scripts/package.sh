#!/bin/bash
# Builds the installers from the cross builds into dist/ and prints their
# paths: HushcallSetup-<version>.exe from build/win32 for the 32-bit player,
# HushcallSetup-<version>-x64.exe from build/win64 for 64-bit ones. The
# version and the edition are the ones each build was configured with (its
# generated/*.nsh); --build-dir packages that build's edition alone.
#
#   scripts/package.sh [--no-build] [--build-dir DIR] [--out DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
builds=() out=$PWD/dist do_build=1
while [ $# -gt 0 ]; do
  case "$1" in
    --no-build) do_build=0 ;;
    --build-dir) builds+=("$(readlink -f "$2")"); shift ;;
    --out) out=$2; shift ;;
    *) echo "usage: scripts/package.sh [--no-build] [--build-dir DIR] [--out DIR]" >&2; exit 2 ;;
  esac
  shift
done
[ ${#builds[@]} -gt 0 ] || builds=("$PWD/build/win32" "$PWD/build/win64")
if [ $do_build -eq 1 ]; then
  scripts/setup.sh
  scripts/build.sh >/dev/null
fi
mkdir -p "$out"

# define NAME FILE: the value of FILE's `!define NAME "value"`.
define() { sed -n "s/^!define $1 \"\(.*\)\"\$/\1/p" "$2" 2>/dev/null || true; }

for build in "${builds[@]}"; do
  version=$(define HUSHCALL_VERSION "$build/generated/hushcall_version.nsh")
  [ -n "$version" ] || { echo "package: no version in $build/generated" >&2; exit 1; }
  case "$(define HUSHCALL_EDITION "$build/generated/hushcall_edition.nsh")" in
    win32) suffix= ;;
    win64) suffix=-x64 ;;
    *) echo "package: $build is not a cross build (no edition in its generated files)" >&2; exit 1 ;;
  esac
  setup=$(readlink -f "$out")/HushcallSetup-$version$suffix.exe
  makensis -V2 -DBUILD="$build" -DOUTFILE="$setup" installer/hushcall.nsi >&2
  echo "$setup"
done
