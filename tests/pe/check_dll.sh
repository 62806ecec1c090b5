#!/bin/bash
# A shipped DLL's shape, read from the file alone, so that it is checked
# even where Wine can't run the edition: the machine it is built for,
# exactly the exports it should have, imports of Windows system DLLs only,
# and at most 200 KiB (it is loaded into the player's own process).
#
#   check_dll.sh <dll> win32|win64 <export>...
set -u
dll=$1 edition=$2
shift 2
case "$edition" in
  win32) want_machine=014c ;;
  win64) want_machine=8664 ;;
  *) echo "usage: check_dll.sh <dll> win32|win64 <export>..."; exit 2 ;;
esac
status=0
fail() { echo "$(basename "$dll"): $*"; status=1; }

. "$(dirname "$0")/pe_lib.sh"
machine=$(pe_machine "$dll")
if [ -z "$machine" ]; then
  fail "no PE signature"
elif [ "$machine" != "$want_machine" ]; then
  fail "machine 0x$machine, expected 0x$want_machine ($edition)"
fi

size=$(stat -c %s "$dll")
[ "$size" -le $((200 * 1024)) ] || fail "$size bytes, more than 200 KiB"

# One objdump reads both editions.
dump=$(x86_64-w64-mingw32-objdump -p "$dll") || { echo "objdump failed on $dll"; exit 1; }
system_dlls=" kernel32.dll user32.dll gdi32.dll advapi32.dll ole32.dll oleaut32.dll comctl32.dll \
comdlg32.dll shell32.dll shlwapi.dll version.dll msvcrt.dll ntdll.dll "
while read -r name; do
  lower=$(echo "$name" | tr 'A-Z' 'a-z')
  [[ "$system_dlls" == *" $lower "* ]] || fail "imports $name, not a system DLL"
done < <(echo "$dump" | sed -n 's/^\s*DLL Name: //p')

exports=$(echo "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort | tr '\n' ' ')
expected=$(printf '%s\n' "$@" | sort | tr '\n' ' ')
[ "$exports" = "$expected" ] || fail "exports are '$exports', expected '$expected'"

[ $status -eq 0 ] && echo "$(basename "$dll"): $edition, $size bytes, system imports, exports $expected"
exit $status
