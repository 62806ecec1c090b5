# Sourced by the end-to-end tests: one Wine prefix with Xvfb, the modem
# simulator on COM5, the stand-in player with our host wrapper and
# Hushcall.dll in its plug-in folder, and helpers to wait on their logs.
#
# Needs: HC_WIN_BUILD (the cross build dir) and HC_MODEMSIM (the native
# simulator binary), exported by the CTest command line; HC_OTHER_WIN_BUILD,
# the other edition's build, for the checks that need its Hushcall.dll.

set -u
HC_E2E_DIR=$(dirname "${BASH_SOURCE[0]}")
. "$HC_E2E_DIR/../wine/wine-env.sh"

: "${HC_WIN_BUILD:?}" "${HC_MODEMSIM:?}"
HC_PLAYER_EXE=$HC_WIN_BUILD/player/player.exe
HC_HUSHCTL_EXE=$HC_WIN_BUILD/tools/hushctl/hushctl.exe
HC_HOST_DLL=$HC_WIN_BUILD/host/gen_hushcall.dll
HC_PLUGIN_DLL=$HC_WIN_BUILD/plugin/win32/Hushcall.dll
HC_OTHER_PLUGIN_DLL=${HC_OTHER_WIN_BUILD:-}/plugin/win32/Hushcall.dll

HC_FAILS=0
HC_PIDS=()

# The product's own texts, and the options dialog's control ids
# (options/win32/control_ids.h), kept once for every script.
HC_TITLE="Hushcall"
HC_OPTIONS_TITLE="Hushcall Options"
HC_RINGING_TEXT="The phone is ringing!"
HC_MODEM_FAILURE_TEXT="Unable to find modem on specified COM Port, modem is being used, or modem is slow responding to initialization. Press Yes to retry, No to change COM port, or Cancel to disable Hushcall."
# The lost-line notice, for COM5, the port every test watches.
HC_LINE_LOST_TEXT="Hushcall lost the modem on COM5. It will watch again when the modem is back."
ID_FRA_OPTIONS=1001 ID_OPT_VOLUME=1002 ID_OPT_PAUSE=1003 ID_OPT_STOP=1004
ID_FRA_VOLUME=1005 ID_LABEL1=1006 ID_SLI_VOLUME=1007 ID_TXT_VOLUME=1008
ID_CHK_PERCENT=1009 ID_LABEL2=1010 ID_TXT_COMPORT=1011 ID_CHK_MSG=1012
ID_CHK_ENABLED=1013 ID_CMD_OK=1014 ID_CMD_CANCEL=1015 ID_CMD_APPLY=1016
ID_CMD_ABOUT=1017

e2e_begin() {
  HC_WORK=$(mktemp -d /tmp/hushcall-e2e.XXXXXX)
  hc_wine_setup || { echo "FAIL: no Wine prefix"; exit 1; }
  mkdir -p "$HC_WORK/plugins"
  cp "$HC_HOST_DLL" "$HC_PLUGIN_DLL" "$HC_WORK/plugins/"
  trap e2e_end EXIT
}

e2e_end() {
  local rc=$?
  for p in "${HC_PIDS[@]}"; do kill "$p" 2>/dev/null; done
  hc_wine_teardown
  if [ "$HC_FAILS" -ne 0 ] || [ "$rc" -ne 0 ]; then
    echo "--- modem transcript"; cat "$HC_WORK/modem.log" 2>/dev/null | tail -40
    echo "--- player log"; cat "$HC_WORK/player.log" 2>/dev/null | tail -40
    echo "--- failed hushctl runs"; tail -40 "$HC_WORK/hushctl.log" 2>/dev/null
  fi
  # Paths a test made unchangeable, else they outlive it.
  if [ -f "$HC_WORK/locked" ]; then
    if [ "$(id -u)" = 0 ]; then unlock=(chattr -i); else unlock=(chmod u+w); fi
    xargs -d '\n' "${unlock[@]}" <"$HC_WORK/locked" 2>/dev/null
  fi
  rm -rf "$HC_WORK"
  [ "$HC_FAILS" -eq 0 ] && [ "$rc" -eq 0 ] && exit 0
  exit 1
}

# e2e_settings KEY=VALUE...: stored settings, as the user's store holds them.
e2e_settings() {
  local kv
  for kv in "$@"; do
    wine reg add 'HKCU\Software\VB and VBA Program Settings\Hushcall\Common' \
      /v "${kv%%=*}" /t REG_SZ /d "${kv#*=}" /f </dev/null >/dev/null 2>&1
  done
}

# e2e_unset KEY: removes one stored setting, so that a check can see the
# quit write it back.
e2e_unset() {
  wine reg delete 'HKCU\Software\VB and VBA Program Settings\Hushcall\Common' /v "$1" /f \
    </dev/null >/dev/null 2>&1
}

# e2e_setting KEY: prints the stored value (empty when absent).
e2e_setting() {
  wine reg query 'HKCU\Software\VB and VBA Program Settings\Hushcall\Common' /v "$1" \
    </dev/null 2>/dev/null | tr -d '\r' | awk -v k="$1" '$1 == k {print $3}'
}

# e2e_modem ARGS...: the simulator on COM5.
e2e_modem() {
  "$HC_MODEMSIM" --link "$WINEPREFIX/dosdevices/com5" --transcript "$HC_WORK/modem.log" \
    --control "$HC_WORK/modem.ctl" "$@" >"$HC_WORK/modem.out" 2>&1 &
  HC_PIDS+=($!)
  e2e_wait_for "$HC_WORK/modem.out" '^ready' 10 || e2e_fail "modem simulator did not start"
}

e2e_modem_say() { echo "$*" >"$HC_WORK/modem.ctl"; }

# e2e_player ARGS...: the stand-in player with our plug-ins, in the background.
e2e_player() {
  wine "$HC_PLAYER_EXE" --plugins "$(hc_winpath "$HC_WORK/plugins")" \
    --log "$(hc_winpath "$HC_WORK")\\player.log" "$@" </dev/null >"$HC_WORK/player.out" 2>&1 &
  HC_PLAYER_PID=$!
  HC_PIDS+=($HC_PLAYER_PID)
}

# e2e_player_exits_cleanly SECONDS: the player's process ends within SECONDS
# with code 0 (a page fault ends it with 5), having logged "exit code=0",
# and Wine printed no fault on its output.
e2e_player_gone() { ! kill -0 "$HC_PLAYER_PID" 2>/dev/null; }
e2e_player_exits_cleanly() {
  e2e_until "$1" e2e_player_gone || return 1
  wait "$HC_PLAYER_PID" 2>/dev/null || return 1
  grep -Eq '^[0-9]+ exit code=0$' "$HC_WORK/player.log" &&
    ! grep -Eiq 'fault|unhandled' "$HC_WORK/player.out"
}

# hushctl ACTION [ARGS...]: one hushctl run. A failed run's arguments, exit
# code and complaint go to hushctl.log, which a failed test prints.
# hushctl says why whenever it fails, so a run that fails without a word
# never got that far: Wine lost it (seen once in CI, never in 4,500 runs
# of one action here, loaded or not). It is run once more, and the log
# says so.
hushctl() {
  local rc out try
  for try in 1 2; do
    out=$(wine "$HC_HUSHCTL_EXE" "$@" </dev/null 2>"$HC_WORK/hushctl.err" | tr -d '\r'
          exit "${PIPESTATUS[0]}")
    rc=$?
    [ "$rc" -eq 0 ] && break
    { echo "$(date +%s%6N) hushctl $* -> exit $rc"; tr -d '\r' <"$HC_WORK/hushctl.err"; } >>"$HC_WORK/hushctl.log"
    if [ -n "$out" ] || [ -s "$HC_WORK/hushctl.err" ]; then break; fi
    echo "  (not a word from it: run once more)" >>"$HC_WORK/hushctl.log"
  done
  if [ -n "$out" ]; then printf '%s\n' "$out"; fi
  return "$rc"
}

# e2e_until SECONDS COMMAND...: runs COMMAND every 0.1 s until it succeeds;
# fails when SECONDS pass first. Every wait of the tests is one of these.
e2e_until() {
  local deadline=$((SECONDS + $1)); shift
  until "$@"; do
    [ $SECONDS -ge $deadline ] && return 1
    sleep 0.1
  done
}

# e2e_wait_for FILE REGEX SECONDS
e2e_wait_for() { e2e_until "$3" grep -Eq -- "$2" "$1" 2>/dev/null; }

e2e_count() { grep -Ec -- "$2" "$1" 2>/dev/null || true; }

e2e_fail() { echo "FAIL: $*"; HC_FAILS=$((HC_FAILS + 1)); }
e2e_ok() { echo "ok: $*"; }
e2e_check() {  # e2e_check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then e2e_ok "$what"; else e2e_fail "$what"; fi
}
