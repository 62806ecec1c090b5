# Sourced by the options dialog's end-to-end tests, after lib.sh: short
# names for driving the dialog of the running player with hushctl, and
# checks that compare what a control shows with what it should.

# The dialog's control ids (options/win32/control_ids.h).
ID_OPT_VOLUME=1002 ID_OPT_PAUSE=1003 ID_OPT_STOP=1004 ID_FRA_VOLUME=1005
ID_LABEL1=1006 ID_SLI_VOLUME=1007 ID_TXT_VOLUME=1008 ID_CHK_PERCENT=1009
ID_LABEL2=1010 ID_TXT_COMPORT=1011 ID_CHK_MSG=1012 ID_CHK_ENABLED=1013
ID_CMD_OK=1014 ID_CMD_CANCEL=1015 ID_CMD_APPLY=1016 ID_CMD_ABOUT=1017
ID_FRA_OPTIONS=1001

RING_BOX_TEXT="The phone is ringing!"
MODEM_BOX_TEXT="Unable to find modem on specified COM Port, modem is being used, or modem is slow responding to initialization. Press Yes to retry, No to change COM port, or Cancel to disable Hushcall."
PORT_RANGE_REGEX='COM port.*0 to 255'

# dlg ACTION [ARGS...]: a hushctl action on the options dialog.
dlg() { local action=$1; shift; hushctl "$action" --class '#32770' --title 'Hushcall Options' "$@"; }
# box ACTION [ARGS...]: a hushctl action on the topmost "Hushcall" message box.
box() { local action=$1; shift; hushctl "$action" --class '#32770' --title 'Hushcall' "$@"; }

# dlg_open: Configure through the player's menu command; waits for the dialog.
dlg_open() {
  hushctl player-command --id 41000 >/dev/null
  dlg wait --state visible --timeout 10000 >/dev/null
}

# dlg_visible: 1 shown, 0 hidden (loaded), "gone" when not loaded.
dlg_visible() {
  local v
  v=$(dlg visible --timeout 300) && echo "$v" || echo gone
}

# expect DESCRIPTION EXPECTED ACTUAL: one check of a shown value.
expect() {
  if [ "$2" = "$3" ]; then e2e_ok "$1"; else e2e_fail "$1: expected \"$2\", got \"$3\""; fi
}

# expect_controls DESCRIPTION ACTION ID=VALUE...: one dlg action per control.
expect_controls() {
  local what=$1 action=$2 pair; shift 2
  for pair in "$@"; do
    expect "$what: $action of ${pair%%=*}" "${pair#*=}" "$(dlg "$action" --id "${pair%%=*}")"
  done
}

# dlg_gone SECONDS: until the dialog is unloaded (its window destroyed).
dlg_gone() { dlg wait --state gone --timeout "$(($1 * 1000))" >/dev/null; }

# wait_box_text TEXT SECONDS: until the topmost "Hushcall" box says TEXT.
wait_box_text() {
  local deadline=$((SECONDS + $2))
  until [ "$(box msgbox-text --timeout 500)" = "$1" ]; do
    [ $SECONDS -ge $deadline ] && return 1
    sleep 0.1
  done
}

# atz_count: the modem resets the simulator has received so far.
atz_count() { e2e_count "$HC_WORK/modem.log" ' rx ATZ\\r'; }

# wait_atz N SECONDS: until the simulator has received N resets in all.
wait_atz() {
  local deadline=$((SECONDS + $2))
  while [ "$(atz_count)" -lt "$1" ]; do
    [ $SECONDS -ge $deadline ] && return 1
    sleep 0.1
  done
}

# player_count REGEX: matching lines of the player's log.
player_count() { e2e_count "$HC_WORK/player.log" "$1"; }

# wait_player_count REGEX N SECONDS: until the player's log has N matches.
wait_player_count() {
  local deadline=$((SECONDS + $3))
  while [ "$(player_count "$1")" -lt "$2" ]; do
    [ $SECONDS -ge $deadline ] && return 1
    sleep 0.1
  done
}

# modem_answer: the test plays the modem's "OK" by hand (--answer none).
modem_answer() { e2e_modem_say 'send \r\nOK\r\n'; }

# wait_player_exit SECONDS: the player has quit its plug-ins and exited.
wait_player_exit() {
  local deadline=$((SECONDS + $1))
  while kill -0 "$HC_PLAYER_PID" 2>/dev/null; do
    [ $SECONDS -ge $deadline ] && return 1
    sleep 0.1
  done
  wait "$HC_PLAYER_PID" 2>/dev/null
  grep -q 'exit code=0' "$HC_WORK/player.log"
}
