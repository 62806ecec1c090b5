#!/bin/bash
# Hushcall.dll must import only Windows system DLLs and export exactly the
# four COM server entry points.
set -u
dll=$1
dump=$(i686-w64-mingw32-objdump -p "$dll") || { echo "objdump failed on $dll"; exit 1; }

system_dlls=" kernel32.dll user32.dll gdi32.dll advapi32.dll ole32.dll oleaut32.dll comctl32.dll \
comdlg32.dll shell32.dll shlwapi.dll version.dll msvcrt.dll ntdll.dll "
status=0
while read -r name; do
  lower=$(echo "$name" | tr 'A-Z' 'a-z')
  case "$system_dlls" in
    *" $lower "*) ;;
    *) echo "not a system DLL: $name"; status=1 ;;
  esac
done < <(echo "$dump" | sed -n 's/^\s*DLL Name: //p')

exports=$(echo "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort | tr '\n' ' ')
expected="DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer "
if [ "$exports" != "$expected" ]; then
  echo "exports are: $exports"
  echo "expected:    $expected"
  status=1
fi
[ $status -eq 0 ] && echo "imports and exports as they should be ($(stat -c %s "$dll") bytes)"
exit $status
