#!/bin/bash
# Builds the installer, dist/HushcallSetup-<version>.exe, from the cross
# build; the version is the one the build was configured with.
#
#   scripts/package.sh [--no-build] [--build-dir DIR] [--out DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$PWD/build/win32 out=$PWD/dist do_build=1
while [ $# -gt 0 ]; do
  case "$1" in
    --no-build) do_build=0 ;;
    --build-dir) build=$(readlink -f "$2"); shift ;;
    --out) out=$2; shift ;;
    *) echo "usage: scripts/package.sh [--no-build] [--build-dir DIR] [--out DIR]" >&2; exit 2 ;;
  esac
  shift
done
if [ $do_build -eq 1 ]; then
  scripts/setup.sh
  scripts/build.sh >/dev/null
fi
version=$(sed -n 's/^!define HUSHCALL_VERSION "\(.*\)"$/\1/p' "$build/generated/hushcall_version.nsh")
[ -n "$version" ] || { echo "package: no version in $build/generated" >&2; exit 1; }
mkdir -p "$out"
setup=$(readlink -f "$out")/HushcallSetup-$version.exe
makensis -V2 -DBUILD="$build" -DOUTFILE="$setup" installer/hushcall.nsi >&2
echo "$setup"
