#!/bin/bash
# Installs what the build and the tests need, when missing (Debian 12).
#
# Both Windows editions are always built, so both MinGW-w64 toolchains are
# installed, and the 64-bit Wine, which also writes the type libraries. The
# 32-bit Wine (and with it the i386 architecture) only where the kernel runs
# 32-bit code and the 32-bit edition is to be tested: HUSHCALL_ARCHES, or
# scripts/arches.sh when unset.
set -euo pipefail
cd "$(dirname "$0")/.."
arches=${HUSHCALL_ARCHES:-$(scripts/arches.sh)}

need=(cmake make g++ python3 googletest libgtest-dev clang libclang-rt-14-dev
      g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
      mingw-w64-tools wine wine64 libwine-dev xvfb x11-apps imagemagick procps nsis fonts-wine
      pkg-config libsystemd-dev python3-dbusmock python3-dbus python3-gi dbus-daemon mpv mpv-mpris
      sox lintian systemd libmosquitto-dev mosquitto mosquitto-clients nlohmann-json3-dev libssl-dev
      libre-dev libexpat1-dev baresip kamailio kamailio-presence-modules
      kamailio-tls-modules dnsmasq-base)
[[ " $arches " == *" win32 "* ]] && need+=(wine32:i386)

missing=()
for p in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt=($sudo apt-get -o Acquire::Retries=3 -q)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Versions of multi-arch "same" packages must match across architectures.
# When a suite's list for one architecture failed to update, the packages
# installed from that suite in the other may have no twin: for each such
# package that the install needs, name the newest version both
# architectures have ("pkg:amd64=V pkg:i386=V").
shared_versions() {
  local native foreign pkg installed v best
  native=$(dpkg --print-architecture)
  for foreign in $(dpkg --print-foreign-architectures); do
    apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
      --no-replaces --no-enhances "${missing[@]}" 2>/dev/null |
      sed -n "s/^\([a-z0-9][^ :]*\):$foreign\$/\1/p" | sort -u >"$work/closure"
    dpkg-query -W -f='${Package} ${Version} ${Multi-Arch}\n' 2>/dev/null | awk '$3 == "same" {print $1, $2}' |
      while read -r pkg installed; do
        grep -qx "$pkg" "$work/closure" || continue
        apt-cache madison "$pkg:$foreign" | awk -F' [|] ' '{print $2}' | tr -d ' ' >"$work/theirs"
        grep -qxF "$installed" "$work/theirs" && continue
        best=""
        for v in $(apt-cache madison "$pkg:$native" | awk -F' [|] ' '{print $2}' | tr -d ' '); do
          grep -qxF "$v" "$work/theirs" || continue
          [ -z "$best" ] || dpkg --compare-versions "$v" gt "$best" && best=$v
        done
        [ -n "$best" ] && echo "$pkg:$native=$best $pkg:$foreign=$best"
      done
  done
}

# The install, for lists that failed to update: each failed suite pinned to
# priority 100 for this one install (through apt's options, so nothing is
# left behind), then shared versions where the pin alone does not do.
install_past_failed_lists() {
  local suites=$1 s extra=() opts auto_before
  mkdir -p "$work/preferences.d"
  cp -a /etc/apt/preferences.d/. "$work/preferences.d/" 2>/dev/null || true
  for s in $suites; do
    printf 'Package: *\nPin: release n=%s\nPin-Priority: 100\n\n' "$s" >>"$work/preferences.d/zz-hushcall-failed-lists.pref"
  done
  opts=(-o Dir::Etc::PreferencesParts="$work/preferences.d")
  if ! "${apt[@]}" install -s --no-install-recommends "${opts[@]}" "${missing[@]}" >/dev/null 2>&1; then
    read -r -a extra <<<"$(shared_versions | tr '\n' ' ')"
  fi
  auto_before=$(apt-mark showauto 2>/dev/null)
  "${apt[@]}" install -y --no-install-recommends --allow-downgrades "${opts[@]}" "${missing[@]}" "${extra[@]}" ||
    return 1
  # Named only to choose their version: they stay marked as they were.
  for s in "${extra[@]}"; do
    s=${s%%=*}
    if [[ "$s" == *":$(dpkg --print-architecture)" ]]; then
      grep -qx "${s%:*}" <<<"$auto_before" || continue
    fi
    $sudo apt-mark auto "$s" >/dev/null
  done
  echo "setup: the lists of $(echo $suites) failed to update; installed with that suite pinned to priority 100${extra[*]:+ and shared versions ${extra[*]}}"
}

# A mirror that fails once is tried again, not taken as the answer.
for attempt in 1 2 3; do
  failed=$({ "${apt[@]}" update 2>&1 >/dev/null || true; } |
    sed -n 's|^[EW]: Failed to fetch .*/dists/\([^/]*\)/.*|\1|p' | sort -u)
  if [ -z "$failed" ] ||
     "${apt[@]}" install -s --no-install-recommends "${missing[@]}" >/dev/null 2>&1; then
    "${apt[@]}" install -y --no-install-recommends "${missing[@]}" && exit 0
  else
    install_past_failed_lists "$failed" && exit 0
  fi
  echo "setup: apt-get failed (attempt $attempt), trying again" >&2
  sleep 10
done
exit 1
