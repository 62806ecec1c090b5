#!/bin/bash
# Runs a test program on buses of its own: a session bus from
# dbus-run-session, and a private bus in place of the system bus
# (DBUS_SYSTEM_BUS_ADDRESS). Both use test-bus.conf, so nothing of the
# machine's is started on demand. The program finds the configuration in
# HC_TEST_BUS_CONFIG, for buses of its own.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
export HC_TEST_BUS_CONFIG=$here/test-bus.conf

if [ -z "${HC_ON_TEST_SESSION_BUS:-}" ]; then
  export HC_ON_TEST_SESSION_BUS=1
  exec dbus-run-session --config-file="$HC_TEST_BUS_CONFIG" -- bash "$0" "$@"
fi

started=$(dbus-daemon --config-file="$HC_TEST_BUS_CONFIG" --fork --print-address=1 --print-pid=1)
system_pid=$(sed -n 2p <<<"$started")
trap 'kill "$system_pid" 2>/dev/null || true' EXIT
export DBUS_SYSTEM_BUS_ADDRESS=$(sed -n 1p <<<"$started")
"$@"
