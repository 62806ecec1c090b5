#!/bin/bash
# regsvr32 round trip in a fresh Wine prefix: the keys are there after
# registering, gone after unregistering, and nothing else has changed.
#
#   regsvr32_test.sh <Hushcall.dll> win32|win64
#
# Keys are read in the DLL's own registry view (/reg:32 or /reg:64), since
# in a 64-bit prefix the CLSID and Interface keys are kept per view.
set -u
here=$(dirname "$(readlink -f "$0")")
. "$here/../../../tests/wine/wine-env.sh"
trap hc_wine_teardown EXIT
hc_wine_setup || exit 1

dll=$(hc_winpath "$1")
view=/reg:${2#win}
clsid='{2BEAE623-8F5F-4E4D-9AC2-356FF3995917}'
libid='{29A6D473-CD3D-4B7A-B70D-B8E7D63ED0B7}'
iid='{665A15F1-7469-4B48-A846-39C377D76035}'
work=$(mktemp -d)
trap 'rm -rf "$work"; hc_wine_teardown' EXIT

export_classes() {  # $1: output file
  # The 64-bit view holds the 32-bit one too, as its Wow6432Node subkey.
  wine reg export 'HKLM\Software\Classes' "$(hc_winpath "$work")\\$1" /y /reg:64 </dev/null >/dev/null 2>&1
}
# reg.exe exits 1 both when the key is missing and when it could not run at
# all, so a key counts as missing only when reg says so; anything else is
# shown and the query tried again once.
query_key() {  # $1: key; prints "present", "missing" or reg's own words
  local out rc try
  for try in 1 2; do
    out=$(wine reg query "$1" "$view" </dev/null 2>&1); rc=$?
    [ $rc -eq 0 ] && { echo present; return; }
    grep -q 'Unable to find the specified registry key' <<<"$out" && { echo missing; return; }
    echo "reg query $1 (try $try) exited $rc: $(tr -d '\r' <<<"$out" | tail -3)" >&2
  done
  echo "unknown"
}
has_key() { [ "$(query_key "$1")" = present ]; }
no_key() { [ "$(query_key "$1")" = missing ]; }

fail=0
check() {  # $1: description, rest: command
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; fail=1; fi
}

export_classes before.reg
check "regsvr32 exits 0" wine regsvr32 /s "$dll"
check "CLSID key" has_key "HKLM\\Software\\Classes\\CLSID\\$clsid\\InprocServer32"
check "ProgID key" has_key "HKLM\\Software\\Classes\\Hushcall.Plugin\\CLSID"
check "TypeLib key" has_key "HKCR\\TypeLib\\$libid\\1.0"
check "Interface key" has_key "HKCR\\Interface\\$iid"
server=$(wine reg query "HKLM\\Software\\Classes\\CLSID\\$clsid\\InprocServer32" /ve "$view" </dev/null 2>/dev/null | tr -d '\r')
check "server path is the DLL" grep -qiF "$dll" <<<"$server"

check "regsvr32 /u exits 0" wine regsvr32 /s /u "$dll"
check "CLSID key gone" no_key "HKLM\\Software\\Classes\\CLSID\\$clsid"
export_classes after.reg
check "nothing else changed" cmp -s "$work/before.reg" "$work/after.reg"
[ $fail -eq 0 ] || diff <(iconv -f utf-16 -t utf-8 "$work/before.reg") <(iconv -f utf-16 -t utf-8 "$work/after.reg") | head -40
exit $fail
