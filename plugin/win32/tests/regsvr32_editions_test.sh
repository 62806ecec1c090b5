#!/bin/bash
# Both editions registered in one 64-bit prefix: unregistering either one
# leaves the other creatable by ProgID from a process of its own kind, with
# its keys intact; unregistering the second too leaves nothing behind.
#
#   regsvr32_editions_test.sh <64-bit Hushcall.dll> <64-bit progid_client.exe>
#                             <32-bit Hushcall.dll> <32-bit progid_client.exe>
#
# Wine 8 splits HKLM's classes as 64-bit Windows does: CLSID and Interface
# per view, the ProgID and TypeLib keys shared. (HKCU's classes it keeps in
# one view only, so per-user registration can't be checked this way.)
#
# Where this machine runs no 32-bit code it passes, saying it was skipped:
# EditionsOnOneMachine in plugin_win32_tests covers the decisions there.
set -u
here=$(dirname "$(readlink -f "$0")")
arches=$("$here/../../../scripts/arches.sh") || exit 1
case " $arches " in
  *" win32 "*) ;;
  *) echo "skipped: 32-bit programs are not run here (scripts/arches.sh: $arches), so no 32-bit edition beside the 64-bit one"
     exit 0 ;;
esac
for file in "$@"; do
  [ -f "$file" ] || { echo "FAILED: $file is missing (scripts/build.sh builds both editions)"; exit 1; }
done
. "$here/../../../tests/wine/wine-env.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"; hc_wine_teardown' EXIT
hc_wine_setup || exit 1

declare -A dll client
dll[64]=$(hc_winpath "$1") client[64]=$2 dll[32]=$(hc_winpath "$3") client[32]=$4
clsid='{2BEAE623-8F5F-4E4D-9AC2-356FF3995917}'
libid='{29A6D473-CD3D-4B7A-B70D-B8E7D63ED0B7}'
iid='{665A15F1-7469-4B48-A846-39C377D76035}'
classes='HKLM\Software\Classes'

# reg of kind $1 (32 or 64), which sees that kind's view as its programs
# do: Wine's 64-bit reg asked for /reg:32 does not see the shared ProgID.
reg_of() {
  local kind=$1; shift
  if [ "$kind" = 32 ]; then wine 'C:\windows\syswow64\reg.exe' "$@"; else wine reg "$@"; fi
}
# In view $1 (32 or 64): whether key $2 exists, and its default value.
has_key() { reg_of $1 query "$classes\\$2" </dev/null >/dev/null 2>&1; }
value() {
  reg_of $1 query "$classes\\$2" /ve </dev/null 2>/dev/null | tr -d '\r' | sed -n 's/^ *(Default) *REG_SZ *//p'
}
same_file() { [ "${1,,}" = "${2,,}" ]; }

# The edition of kind $1 as registration left it: its class and type
# library point at its DLL, the shared ProgID and its interface key are there.
intact() {
  same_file "$(value $1 "CLSID\\$clsid\\InprocServer32")" "${dll[$1]}" &&
    same_file "$(value $1 "TypeLib\\$libid\\1.0\\0\\win$1")" "${dll[$1]}" &&
    has_key $1 "Hushcall.Plugin\\CLSID" && has_key $1 "Interface\\$iid"
}
both_intact() { intact 32 && intact 64; }
gone() { ! has_key $1 "CLSID\\$clsid" && ! has_key $1 "TypeLib\\$libid\\1.0\\0\\win$1"; }
# A process of kind $1 creates the object by ProgID from that edition's DLL.
creates() {
  wine "${client[$1]}" </dev/null >"$work/client.out" 2>/dev/null &&
    same_file "$(tr -d '\r' <"$work/client.out")" "${dll[$1]}"
}
cannot_create() { ! creates "$1"; }
# The 64-bit view holds the 32-bit one too, as its Wow6432Node subkey.
export_classes() {
  wine reg export "$classes" "$(hc_winpath "$work")\\$1" /y /reg:64 </dev/null >/dev/null 2>&1
}

fail=0
check() {  # $1: description, rest: command
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; fail=1; fi
}

export_classes before.reg
for first in 32 64; do
  second=$((96 - first))
  echo "== both registered, the $first-bit edition unregistered first"
  # Wine's regsvr32, like Windows', hands a DLL of the other kind to the
  # regsvr32 of that kind: each edition registers in its own view.
  check "regsvr32 registers the 64-bit edition" wine regsvr32 /s "${dll[64]}"
  check "regsvr32 registers the 32-bit edition" wine regsvr32 /s "${dll[32]}"
  check "each is registered in its own view" both_intact
  check "regsvr32 /u of the $first-bit edition" wine regsvr32 /s /u "${dll[$first]}"
  check "its class and platform subkey are gone" gone $first
  check "a $first-bit process can no longer create it" cannot_create $first
  check "the $second-bit edition's keys are intact" intact $second
  check "a $second-bit process still creates it by ProgID" creates $second
  check "regsvr32 /u of the $second-bit edition" wine regsvr32 /s /u "${dll[$second]}"
  export_classes after.reg
  check "then nothing is left of either" cmp -s "$work/before.reg" "$work/after.reg"
  [ $fail -eq 0 ] ||
    diff <(iconv -f utf-16 -t utf-8 "$work/before.reg") <(iconv -f utf-16 -t utf-8 "$work/after.reg") | head -40
done
exit $fail
