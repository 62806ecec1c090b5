# Applying the options dialog in one player session: Apply resets the modem
# and the new action answers the next ring; clearing Enabled with OK closes
# the port and unloads the dialog; Configure brings it back, and enabling
# there opens the port again. The quit stores what was applied.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/dialog_lib.sh"

e2e_begin
e2e_settings Enabled=1 COMPort=5 Action=122 Volume=30 Percent=0 Popup=0
e2e_modem
e2e_player --state playing --volume 200
e2e_wait_for "$HC_WORK/player.log" 'init -> 0' 20 || e2e_fail "the plug-in did not start"
e2e_check "the plug-in resets the modem at start" wait_atz 1 5

# --- Shown with Lower Volume: its frame on. Set 45, choose Stop, apply.
dlg_open || e2e_fail "Configure shows the dialog"
expect_controls "stored Action 122" checked $ID_OPT_VOLUME=1 $ID_OPT_STOP=0
expect_controls "stored Action 122" enabled $ID_SLI_VOLUME=1 $ID_TXT_VOLUME=1 $ID_CHK_PERCENT=1
dlg set-text --id $ID_TXT_VOLUME --value 45
dlg keys --id $ID_TXT_VOLUME --keys enter
dlg click --id $ID_OPT_STOP
dlg click --id $ID_CMD_APPLY
e2e_check "Apply resets the modem again" wait_atz 2 10
expect "Apply keeps the dialog shown" 1 "$(dlg_visible)"
expect "Apply's refresh disables Apply" 0 "$(dlg enabled --id $ID_CMD_APPLY)"
expect "Apply's refresh keeps Stop" 1 "$(dlg checked --id $ID_OPT_STOP)"

# The applied action answers the next ring (the first of a call).
e2e_modem_say ring
e2e_check "after Apply a ring stops the player" \
  e2e_wait_for "$HC_WORK/player.log" 'WM_COMMAND wParam=40047 .*state=stopped' 10
expect "after Apply a ring no longer sets the volume" 0 "$(player_count 'msg WM_USER .*lParam=122 ')"

# --- Clearing Enabled with OK: the dialog unloads and the port closes.
dlg click --id $ID_CHK_ENABLED
expect "clearing Enabled disables the action frame" 0 "$(dlg enabled --id $ID_OPT_STOP)"
dlg click --id $ID_CMD_OK
e2e_check "OK with Enabled cleared unloads the dialog" dlg_gone 5
e2e_check "Configure returns to the player after the unload" \
  wait_player_count 'config done' 1 5
reactions=$(player_count 'msg WM_(COMMAND|USER) ')
e2e_modem_say ring
sleep 1.5  # a reaction takes a few ms; nothing may come while the port is closed
expect "a ring does nothing while disabled" "$reactions" "$(player_count 'msg WM_(COMMAND|USER) ')"

# --- Configure loads it again, disabled: the whole action frame is off.
resets=$(atz_count)
dlg_open || e2e_fail "Configure loads the dialog again"
expect "loading disabled does not reset the modem" "$resets" "$(atz_count)"
expect_controls "Enabled 0" checked $ID_CHK_ENABLED=0 $ID_OPT_STOP=1
expect_controls "Enabled 0" enabled \
  $ID_FRA_OPTIONS=0 $ID_OPT_VOLUME=0 $ID_OPT_PAUSE=0 $ID_OPT_STOP=0 $ID_SLI_VOLUME=0 \
  $ID_TXT_VOLUME=0 $ID_CHK_PERCENT=0 $ID_TXT_COMPORT=0 $ID_CHK_MSG=0 \
  $ID_CHK_ENABLED=1 $ID_CMD_OK=1 $ID_CMD_CANCEL=1 $ID_CMD_APPLY=0 $ID_CMD_ABOUT=1
expect "the focus starts on OK again" "id=$ID_CMD_OK" "$(dlg focused | awk '{print $1}')"

# Enabling with OK (Pause this time) opens the port; the dialog stays loaded.
dlg click --id $ID_CHK_ENABLED
dlg click --id $ID_OPT_PAUSE
dlg click --id $ID_CMD_OK
e2e_check "OK with Enabled checked resets the modem" wait_atz $((resets + 1)) 10
expect "OK with Enabled checked keeps the dialog loaded, hidden" 0 "$(dlg_visible)"
e2e_check "Configure returns to the player after OK" wait_player_count 'config done' 2 5
# Play again: the pause reaction leaves a player that is not playing alone.
hushctl player-command --id 40045
e2e_wait_for "$HC_WORK/player.log" 'wParam=40045 .*state=playing' 5 || e2e_fail "the player plays again"
e2e_modem_say ring
e2e_check "re-enabled, a ring pauses the player" \
  e2e_wait_for "$HC_WORK/player.log" 'WM_COMMAND wParam=40046 ' 10

# --- The quit stores what was applied.
hushctl player-close
e2e_check "the player quits" wait_player_exit 15
expect "stored Action" 40046 "$(e2e_setting Action)"
expect "stored Enabled" 1 "$(e2e_setting Enabled)"
expect "stored Volume (applied with Stop chosen)" 45 "$(e2e_setting Volume)"
expect "stored COMPort" 5 "$(e2e_setting COMPort)"
