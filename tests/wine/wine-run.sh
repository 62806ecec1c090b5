#!/bin/bash
# Runs one Windows program under Wine in a fresh prefix with its own Xvfb;
# CTest uses it as the cross build's emulator. Exits with the program's code.
set -u
here=$(dirname "$(readlink -f "$0")")
. "$here/wine-env.sh"
trap hc_wine_teardown EXIT
hc_wine_setup || exit 1
wine "$@" </dev/null
exit $?
