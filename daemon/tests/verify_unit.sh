#!/bin/bash
# systemd-analyze verify on the user unit, as a user manager would load it.
#
# `--user` needs a runtime directory to set up its manager; a container has
# no user session, so the test gives it a private XDG_RUNTIME_DIR. The unit's
# ExecStart names the installed /usr/bin/hushcalld, so the copy verified here
# names the built one instead (the check that the command is executable is
# one we want). verify exits 0 on unknown keys and unparsable values, only
# saying so, so any output fails the test too. --man=no: the man page is
# checked in the package, not installed here.
set -uo pipefail
unit=$1
hushcalld=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/runtime"
sed "s|^ExecStart=/usr/bin/hushcalld|ExecStart=$hushcalld|" "$unit" >"$work/hushcall.service"
grep -q "^ExecStart=$hushcalld" "$work/hushcall.service" || { echo "no ExecStart=/usr/bin/hushcalld in $unit"; exit 1; }
out=$(XDG_RUNTIME_DIR=$work/runtime systemd-analyze --user --man=no verify "$work/hushcall.service" 2>&1)
rc=$?
[ -n "$out" ] && echo "$out"
if [ $rc -ne 0 ] || [ -n "$out" ]; then
  echo "verify: FAIL (exit $rc)"
  exit 1
fi
echo "verify: $unit is clean"
