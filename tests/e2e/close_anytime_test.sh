# The player closes as the real one does, at any moment: it quits its
# plug-ins and unloads their libraries at once, even from inside a message
# loop of ours on its own thread. From every state in which such a loop
# runs, the player must exit with code 0, without a fault, and with the
# settings written by the quit (one is removed after the start to see it
# written back).
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/ring_lib.sh"
. "$(dirname "$0")/dialog_lib.sh"
e2e_begin

# close_session NAME [KEY VALUE]: closes the player in the state reached and
# checks the clean exit, and that Action (removed at the start) and KEY, if
# given, are stored as the quit writes them.
close_session() {
  ring_expect "$1: the player's close ends it cleanly" ring_quit
  ring_expect "$1: the quit wrote the settings" test "$(e2e_setting Action)" = 122
  [ $# -lt 3 ] || ring_expect "$1: the quit stored $2=$3" test "$(e2e_setting "$2")" = "$3"
}
started() { ring_expect "init returns" ring_started && e2e_unset Action; }
box_up() { ring_expect "the box says: $1" wait_box_text "$1" 15; }
a_box() { box wait --timeout 10000 >/dev/null; }
port_range_box() { [[ "$(box msgbox-text --timeout 500)" =~ $PORT_RANGE_REGEX ]]; }
returned_after_quit() { test "$(ring_lines 'init -> [0-9]+ after quit$')" -eq 1; }

ring_restart_modem
e2e_settings Enabled=1 COMPort=5 Action=122 Volume=30 Percent=0 Popup=1

ring_session popup --state playing
started
e2e_modem_say ring
box_up "$HC_RINGING_TEXT"
close_session "the ring popup is up"

# Port 6 is mapped to nothing: the failure box comes inside the start.
e2e_settings COMPort=6
ring_session failure-at-start --state playing
box_up "$HC_MODEM_FAILURE_TEXT"
e2e_unset Action
close_session "the failure box of the start is up"
ring_expect "the start returned after the quit" returned_after_quit

e2e_settings COMPort=5
ring_session failure-after-apply --state playing
started
dlg_open || e2e_fail "Configure shows the dialog"
dlg set-text --id $ID_TXT_COMPORT --value 6
dlg click --id $ID_CMD_APPLY
box_up "$HC_MODEM_FAILURE_TEXT"
close_session "the failure box after Apply is up" COMPort 6

e2e_settings COMPort=5
ring_session about --state playing
started
dlg_open || e2e_fail "Configure shows the dialog"
dlg click --id $ID_CMD_ABOUT
ring_expect "the About box is up" a_box
close_session "the About box is up"

ring_session port-range --state playing
started
dlg_open || e2e_fail "Configure shows the dialog"
dlg set-text --id $ID_TXT_COMPORT --value 300
dlg click --id $ID_CMD_APPLY
ring_expect "the port range box is up" e2e_until 10 port_range_box
close_session "the port range box is up" COMPort 5

ring_session dialog --state playing
started
dlg_open || e2e_fail "Configure shows the dialog"
dlg set-text --id $ID_TXT_COMPORT --value 9
close_session "the options dialog is shown from configure" COMPort 5

# A modem that never answers: the start waits for its "OK".
ring_restart_modem --answer none
ring_session modem-wait --state playing
reset_sent() { [ "$(ring_modem_count ' rx ATZ')" -ge 1 ]; }
ring_expect "the start waits for the modem" e2e_until 10 reset_sent
e2e_unset Action
close_session "the modem wait of the start runs"
ring_expect "the start returned after the quit" returned_after_quit

# Removal from the player's preferences: the player closes while the
# question about the settings is up. The rest is removed after the box, and
# the host wrapper is left for the player's next start to delete.
ring_restart_modem
e2e_settings COMPort=5
ring_session removal --state playing --uninstall 0
started
ring_expect "the removal asks about the settings" ring_box_handle 20000
close_session "the removal's question is up"
ring_expect "the removal returned after the quit, asking for the next start" \
  test "$(ring_lines 'uninstall -> 0 after quit$')" -eq 1
ring_expect "and removed Hushcall.dll" test ! -e "$HC_WORK/plugins/Hushcall.dll"
