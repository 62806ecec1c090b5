# Sourced by the options dialog's end-to-end tests, after lib.sh: short
# names for driving the dialog of the running player with hushctl, and
# checks that compare what a control shows with what it should.

PORT_RANGE_REGEX='COM port.*0 to 255'

# dlg ACTION [ARGS...]: a hushctl action on the options dialog.
dlg() { local action=$1; shift; hushctl "$action" --class '#32770' --title "$HC_OPTIONS_TITLE" "$@"; }
# box ACTION [ARGS...]: a hushctl action on the topmost "Hushcall" message box.
box() { local action=$1; shift; hushctl "$action" --class '#32770' --title "$HC_TITLE" "$@"; }

# dlg_open: Configure through the player's menu command; waits for the dialog.
dlg_open() {
  hushctl player-command --id 41000 >/dev/null
  dlg wait --state visible --timeout 10000 >/dev/null
}

# dlg_visible: 1 shown, 0 hidden (loaded), "gone" when not loaded. Only a
# printed answer counts; why a run printed none is in hushctl.log.
dlg_visible() {
  local v
  v=$(dlg visible --timeout 2000)
  echo "${v:-gone}"
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
box_says() { [ "$(box msgbox-text --timeout 500)" = "$1" ]; }
wait_box_text() { e2e_until "$2" box_says "$1"; }

# atz_count: the modem resets the simulator has received so far.
atz_count() { e2e_count "$HC_WORK/modem.log" ' rx ATZ\\r'; }

# wait_atz N SECONDS: until the simulator has received N resets in all.
atz_at_least() { [ "$(atz_count)" -ge "$1" ]; }
wait_atz() { e2e_until "$2" atz_at_least "$1"; }

# player_count REGEX: matching lines of the player's log.
player_count() { e2e_count "$HC_WORK/player.log" "$1"; }

# wait_player_count REGEX N SECONDS: until the player's log has N matches.
player_at_least() { [ "$(player_count "$1")" -ge "$2" ]; }
wait_player_count() { e2e_until "$3" player_at_least "$1" "$2"; }

# modem_answer: the test plays the modem's "OK" by hand (--answer none).
modem_answer() { e2e_modem_say 'send \r\nOK\r\n'; }

# wait_player_exit SECONDS: the player has quit its plug-ins and exited cleanly.
wait_player_exit() { e2e_player_exits_cleanly "$1"; }
