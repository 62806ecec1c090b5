#!/bin/bash
# Prints the Windows editions whose programs this machine can run under
# Wine, and so whose tests it runs: "win32 win64" where the kernel runs
# 32-bit code, "win64" where it does not. HUSHCALL_ARCHES (win32, win64 or
# both) overrides the probe.
#
#   scripts/arches.sh [--one]
#
# --one prints only the edition that the main job and the benchmarks use
# by default: the 32-bit one, which the player loads, where it runs.
#
# Neither uname nor dpkg can tell: a 64-bit kernel may have its IA-32
# emulation off, and then every i386 program fails with "Exec format error".
# So the probe runs the smallest i386 program there is, written here: an ELF
# header, one program header and `exit(42)` through int 0x80. It runs before
# anything of i386 is installed, since installing it is what goes wrong.
set -uo pipefail

say() {
  if [ "${1:-}" = --one ]; then echo "${2%% *}"; else echo "$2"; fi
}

if [ -n "${HUSHCALL_ARCHES:-}" ]; then
  for a in ${HUSHCALL_ARCHES//,/ }; do
    case "$a" in
      win32|win64) ;;
      *) echo "arches: HUSHCALL_ARCHES takes win32 and win64, not '$a'" >&2; exit 2 ;;
    esac
  done
  out=""
  for a in win32 win64; do [[ " ${HUSHCALL_ARCHES//,/ } " == *" $a "* ]] && out="${out:+$out }$a"; done
  [ -n "$out" ] || { echo "arches: HUSHCALL_ARCHES names no edition" >&2; exit 2; }
  say "${1:-}" "$out"
  exit 0
fi

# A binfmt_misc handler for i386 programs (qemu-user) would make the probe
# succeed through an emulator some 30 times too slow to test with.
emulated() {
  local f
  for f in /proc/sys/fs/binfmt_misc/*; do
    [ -f "$f" ] || continue
    grep -qx enabled "$f" 2>/dev/null &&
      grep -q '^magic 7f454c4601010100000000000000000002000300' "$f" 2>/dev/null && return 0
  done
  return 1
}

runs_i386() {
  local dir probe rc
  # Not /tmp alone: it may be mounted noexec.
  for dir in "${TMPDIR:-/tmp}" "$(dirname "$0")/.."; do
    probe=$(mktemp "$dir/i386-probe.XXXXXX" 2>/dev/null) || continue
    printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'`
          `'\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'`
          `'\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00'`
          `'\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08'`
          `'\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00'`
          `'\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$probe"
    chmod +x "$probe"
    "$probe" 2>/dev/null
    rc=$?
    rm -f "$probe"
    # 126 is also what a noexec folder gives: try the next one.
    [ $rc -eq 42 ] && return 0
    [ $rc -ne 126 ] && return 1
  done
  return 1
}

if runs_i386 && ! emulated; then
  say "${1:-}" "win32 win64"
else
  say "${1:-}" "win64"
fi
