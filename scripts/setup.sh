#!/bin/bash
# Installs what the build and the tests need, when missing (Debian 12).
set -euo pipefail

need=(cmake make g++ python3 googletest libgtest-dev clang libclang-rt-14-dev
      g++-mingw-w64-i686 mingw-w64-tools binutils-mingw-w64-i686
      wine wine32:i386 libwine-dev:i386 xvfb x11-apps imagemagick procps
      nsis fonts-wine)

missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
# A mirror that fails once is tried again, not taken as the answer. An index
# that fails to update (a mirror caught mid-sync) need not stop the install:
# the others may hold all it needs, so the install is tried all the same.
for attempt in 1 2 3; do
  $sudo apt-get -o Acquire::Retries=3 update -q ||
    echo "setup: some package lists could not be updated; installing from the rest" >&2
  $sudo apt-get -o Acquire::Retries=3 install -y -q --no-install-recommends "${missing[@]}" &&
    exit 0
  echo "setup: apt-get failed (attempt $attempt), trying again" >&2
  sleep 10
done
exit 1
