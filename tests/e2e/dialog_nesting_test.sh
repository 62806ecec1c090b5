# Events nested inside the options dialog's waits: OK or Cancel pressed
# while Apply waits for the modem, a ring while the About box is up, the
# call timer running out under the ring popup, and the player quitting
# while the modem wait, its failure box or the dialog is up. None of them
# may crash or hang. The modem never answers by itself: the test plays
# its "OK" by hand, so it decides how long each wait lasts.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/dialog_lib.sh"

e2e_begin
e2e_settings Enabled=1 COMPort=5 Action=122 Volume=30 Percent=0 Popup=1
e2e_modem --answer none
e2e_player --state playing --volume 200
e2e_check "the plug-in resets the modem at start" wait_atz 1 10
modem_answer
e2e_wait_for "$HC_WORK/player.log" 'init -> 0' 10 || e2e_fail "the plug-in did not start"

# --- OK while Apply waits: OK hides and applies again; the newer wait takes
# the port, and once the modem answers nothing more happens.
dlg_open || e2e_fail "Configure shows the dialog"
dlg click --id $ID_CHK_PERCENT
dlg click --id $ID_CMD_APPLY
e2e_check "Apply waits for the modem (reset sent)" wait_atz 2 5
dlg click --id $ID_CMD_OK
e2e_check "OK inside the wait applies again (second reset)" wait_atz 3 5
modem_answer
e2e_check "Configure returns after OK inside the wait" wait_player_count 'config done' 1 10
expect "OK inside the wait leaves the dialog hidden" 0 "$(dlg_visible)"
# The first wait gives up 5 s after its Apply: no failure box may follow.
if box wait --timeout 5000 >/dev/null; then
  e2e_fail "no modem failure box after OK inside the wait: \"$(box msgbox-text)\""
  box msgbox-press --button cancel >/dev/null
else
  e2e_ok "no modem failure box after OK inside the wait"
fi

# --- Cancel while Apply waits: the dialog hides; the wait ends when the modem
# answers, and the dialog stays hidden.
dlg_open || e2e_fail "Configure shows the dialog again"
expect "the applied percent box shows" 1 "$(dlg checked --id $ID_CHK_PERCENT)"
dlg click --id $ID_CHK_PERCENT
dlg click --id $ID_CMD_APPLY
e2e_check "Apply waits for the modem again" wait_atz 4 5
dlg click --id $ID_CMD_CANCEL
expect "Cancel inside the wait hides the dialog" 0 "$(dlg_visible)"
modem_answer
e2e_check "Configure returns after Cancel inside the wait" wait_player_count 'config done' 2 10
sleep 0.5  # the wait's own refresh must not show the dialog again
expect "the dialog stays hidden once the wait ends" 0 "$(dlg_visible)"

# --- A ring while About is up: the reaction and its popup come; then the
# call timer runs out under the popup, and the next ring reacts again but
# opens no second popup inside the first. Both boxes close in turn.
dlg_open || e2e_fail "Configure shows the dialog for About"
dlg click --id $ID_CMD_ABOUT
about=$(box msgbox-text)
[ -n "$about" ] && [ "$about" != "$HC_RINGING_TEXT" ] || e2e_fail "About shows its text, got \"$about\""
set_volume='msg WM_USER wParam=[0-9]+ lParam=122 '
e2e_modem_say ring
e2e_check "a ring under the About box sets the volume" wait_player_count "$set_volume" 1 10
e2e_check "the ring popup comes up over About" wait_box_text "$HC_RINGING_TEXT" 10
sleep 10.5  # the call timer (10 s) runs out while the popup waits
e2e_modem_say ring
e2e_check "the next ring after the timer reacts again" wait_player_count "$set_volume" 2 10
sleep 0.5
expect "the one popup is on top and closes" "$HC_RINGING_TEXT" "$(box msgbox-text)"
box msgbox-press --button ok >/dev/null
expect "About is left and closes" "$about" "$(box msgbox-text)"
box msgbox-press --button ok >/dev/null
expect "the dialog is still shown after the boxes" 1 "$(dlg_visible)"
dlg click --id $ID_CMD_CANCEL
e2e_check "Configure returns after the boxes" wait_player_count 'config done' 3 10
hushctl player-close
e2e_check "the player quits after the nested boxes" wait_player_exit 15

# --- Quitting inside the start: a new player each time, port 6 does not
# exist, so the modem failure box comes up at once inside Initialize.
restart() {  # restart LABEL: a fresh player log and player
  mv "$HC_WORK/player.log" "$HC_WORK/player-$1.log"
  e2e_settings Enabled=1 COMPort=6 Action=122 Volume=30 Percent=0 Popup=0
  e2e_player --state playing --volume 200
  wait_box_text "$HC_MODEM_FAILURE_TEXT" 15 || e2e_fail "$1: the modem failure box comes up"
}

restart box
hushctl player-close
e2e_check "quit while the failure box is up: the player exits cleanly" wait_player_exit 15

restart dialog
box msgbox-press --button no >/dev/null
dlg wait --state visible --timeout 5000 >/dev/null || e2e_fail "No shows the dialog"
hushctl player-close
e2e_check "quit while the dialog is shown inside the start: clean exit" wait_player_exit 15

restart apply
box msgbox-press --button no >/dev/null
dlg wait --state visible --timeout 5000 >/dev/null || e2e_fail "No shows the dialog"
resets=$(atz_count)
dlg set-text --id $ID_TXT_COMPORT --value 5
dlg click --id $ID_CMD_APPLY
e2e_check "Apply on port 5 waits for the modem" wait_atz $((resets + 1)) 5
hushctl player-close
e2e_check "quit while Apply waits for the modem: clean exit" wait_player_exit 15
expect "the quit inside the wait stores the applied port" 5 "$(e2e_setting COMPort)"
