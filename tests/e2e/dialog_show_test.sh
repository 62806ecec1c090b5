# The options dialog as a person meets it, in one player session: shown
# from the stored settings, laid out as designed, edits that enable Apply
# and are dropped by Cancel, Escape and the close box, OK without edits,
# the volume text handed to the slider, and a port out of range refused.
# Throughout, the stored settings act on a ring and survive the quit.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/dialog_lib.sh"

e2e_begin
e2e_settings Enabled=1 COMPort=5 Action=40046 Volume=30 Percent=0 Popup=0
e2e_modem
e2e_player --state playing --volume 200
e2e_wait_for "$HC_WORK/player.log" 'init -> 0' 20 || e2e_fail "the plug-in did not start"
e2e_check "the plug-in resets the modem at start" wait_atz 1 5

# --- Shown from the stored settings: Pause chosen, volume frame off.
dlg_open || e2e_fail "Configure shows the dialog"
expect_controls "stored Action 40046" checked \
  $ID_OPT_VOLUME=0 $ID_OPT_PAUSE=1 $ID_OPT_STOP=0 $ID_CHK_PERCENT=0 $ID_CHK_MSG=0 $ID_CHK_ENABLED=1
expect_controls "stored Action 40046" enabled \
  $ID_OPT_PAUSE=1 $ID_FRA_VOLUME=0 $ID_SLI_VOLUME=0 $ID_TXT_VOLUME=0 $ID_CHK_PERCENT=0 \
  $ID_TXT_COMPORT=1 $ID_CHK_MSG=1 $ID_CMD_APPLY=0
expect "stored Volume 30 on the slider" 30 "$(dlg trackbar --id $ID_SLI_VOLUME)"
expect "stored Volume 30 in the volume text" "30%" "$(dlg get-text --id $ID_TXT_VOLUME)"
expect "stored COMPort 5 in the port text" 5 "$(dlg get-text --id $ID_TXT_COMPORT)"
expect "the focus starts on OK" "id=$ID_CMD_OK" "$(dlg focused | awk '{print $1}')"

# --- Layout: every control where the twips of the design put it, at the
# prefix's DPI (LogPixels, 96 unless set), allowing one pixel either way.
dpi=$(wine reg query 'HKCC\Software\Fonts' /v LogPixels </dev/null 2>/dev/null | tr -d '\r' |
      awk '$1 == "LogPixels" {print $3}')
dpi=$((${dpi:-96}))  # reg prints the DWORD in hex
# id, left, top, width, height in twips, relative to the client area (frame
# offsets added: fraOptions at 120,120; fraVolume at 1800,240 inside it).
while read -r id l t w h; do
  expected=$(awk -v d="$dpi" -v l="$l" -v t="$t" -v w="$w" -v h="$h" 'function px(v) {
      return int(v * d / 1440 + 0.5) } BEGIN { print px(l), px(t), px(l + w), px(t + h) }')
  actual=$(dlg rect --id "$id")
  if awk -v e="$expected" -v a="$actual" 'BEGIN { n = split(e, x, " "); if (split(a, y, " ") != 4) exit 1
      for (i = 1; i <= n; i++) if (x[i] - y[i] > 1 || y[i] - x[i] > 1) exit 1 }'; then
    e2e_ok "control $id at $expected (±1 px at $dpi dpi)"
  else
    e2e_fail "control $id at \"$actual\", expected $expected (±1 px at $dpi dpi)"
  fi
done <<'EOF'
1001 120 120 5775 2535
1002 360 600 1455 255
1003 360 1080 1455 255
1004 360 1560 1455 255
1005 1920 360 3735 1575
1006 2160 720 1815 255
1007 2040 960 3495 255
1008 2160 1320 615 285
1009 3120 1320 2295 255
1010 360 2160 1395 255
1011 1800 2160 375 285
1012 2520 2160 2175 255
1013 120 2760 975 255
1014 1200 2760 1095 375
1015 2400 2760 1095 375
1016 3600 2760 1095 375
1017 4800 2760 1095 375
EOF

# --- An edit enables Apply; Cancel hides the dialog and drops the edit.
dlg click --id $ID_CHK_MSG
expect "a click on the popup box enables Apply" 1 "$(dlg enabled --id $ID_CMD_APPLY)"
dlg click --id $ID_CMD_CANCEL
expect "Cancel hides the dialog and keeps it loaded" 0 "$(dlg_visible)"
expect "Cancel restores the popup box" 0 "$(dlg checked --id $ID_CHK_MSG)"
expect "Cancel disables Apply" 0 "$(dlg enabled --id $ID_CMD_APPLY)"

# --- Escape: choosing Lower Volume enables its frame; Escape drops it.
dlg_open || e2e_fail "Configure shows the hidden dialog again"
dlg click --id $ID_OPT_VOLUME
expect_controls "after choosing Lower Volume" enabled $ID_SLI_VOLUME=1 $ID_TXT_VOLUME=1 $ID_CMD_APPLY=1
dlg keys --keys escape
expect "Escape hides the dialog" 0 "$(dlg_visible)"
expect_controls "Escape restores" checked $ID_OPT_VOLUME=0 $ID_OPT_PAUSE=1
expect_controls "Escape restores" enabled $ID_SLI_VOLUME=0 $ID_CMD_APPLY=0

# --- The close box does what Cancel does.
dlg_open || e2e_fail "Configure shows the dialog after Escape"
dlg set-text --id $ID_TXT_COMPORT --value 7
expect "typing a port enables Apply" 1 "$(dlg enabled --id $ID_CMD_APPLY)"
dlg close
expect "the close box hides the dialog and keeps it loaded" 0 "$(dlg_visible)"
expect "the close box restores the port text" 5 "$(dlg get-text --id $ID_TXT_COMPORT)"
expect "the close box disables Apply" 0 "$(dlg enabled --id $ID_CMD_APPLY)"

# --- OK with nothing edited hides the dialog and leaves the modem alone.
resets=$(atz_count)
dlg_open || e2e_fail "Configure shows the dialog after the close box"
dlg click --id $ID_CMD_OK
expect "OK hides the dialog and keeps it loaded" 0 "$(dlg_visible)"
sleep 0.5  # a reset would have been written inside OK's click already
expect "OK with no edit sends no modem reset" "$resets" "$(atz_count)"

# --- The volume text hands its number to the slider on Enter and on Tab.
dlg_open || e2e_fail "Configure shows the dialog for the volume text"
dlg click --id $ID_OPT_VOLUME
dlg focus --id $ID_TXT_VOLUME
dlg set-text --id $ID_TXT_VOLUME --value 150
dlg keys --keys enter
expect "150 and Enter: the slider stops at 100" 100 "$(dlg trackbar --id $ID_SLI_VOLUME)"
expect "150 and Enter: the text shows the slider" "100%" "$(dlg get-text --id $ID_TXT_VOLUME)"
expect "Enter in the volume text keeps the focus there" "id=$ID_TXT_VOLUME" \
  "$(dlg focused | awk '{print $1}')"
expect "Enter in the volume text leaves the dialog shown" 1 "$(dlg_visible)"
dlg set-text --id $ID_TXT_VOLUME --value 12.5
dlg keys --keys tab
expect "12.5 and Tab: the slider rounds half to even" 12 "$(dlg trackbar --id $ID_SLI_VOLUME)"
expect "12.5 and Tab: the text shows the slider" "12%" "$(dlg get-text --id $ID_TXT_VOLUME)"
expect "Tab moves on to the percent box" "id=$ID_CHK_PERCENT" "$(dlg focused | awk '{print $1}')"

# --- A port out of 0..255 is refused: box, nothing applied, focus on the port.
resets=$(atz_count)
for port_and_button in 300:$ID_CMD_APPLY -1:$ID_CMD_OK; do
  port=${port_and_button%%:*} button=${port_and_button#*:}
  dlg set-text --id $ID_TXT_COMPORT --value "$port"
  dlg click --id "$button"
  text=$(box msgbox-text --timeout 5000)
  if [[ $text =~ $PORT_RANGE_REGEX ]]; then e2e_ok "port $port refused with a box (button $button)"
  else e2e_fail "port $port (button $button): expected the port range box, got \"$text\""; fi
  box msgbox-press --button ok >/dev/null
  expect "port $port: the dialog stays shown" 1 "$(dlg_visible)"
  expect "port $port: the text stays" "$port" "$(dlg get-text --id $ID_TXT_COMPORT)"
  expect "port $port: Apply stays enabled" 1 "$(dlg enabled --id $ID_CMD_APPLY)"
  expect "port $port: the focus goes to the port text" "id=$ID_TXT_COMPORT" \
    "$(dlg focused | awk '{print $1}')"
done
expect "a refused port sends no modem reset" "$resets" "$(atz_count)"
dlg click --id $ID_CMD_CANCEL
expect "Cancel after the refusals restores Pause" 1 "$(dlg checked --id $ID_OPT_PAUSE)"

# --- The stored settings still hold: a ring pauses the player.
e2e_modem_say ring
e2e_check "a ring pauses the player (the settings were not touched)" \
  e2e_wait_for "$HC_WORK/player.log" 'WM_COMMAND wParam=40046 .*state=paused' 10

# --- Closing the player while the dialog is shown: the player quits at once,
# from inside the dialog's modal loop; the unapplied edit is dropped and the
# stored settings are written back unchanged.
dlg_open || e2e_fail "Configure shows the dialog before the quit"
dlg set-text --id $ID_TXT_COMPORT --value 9
hushctl player-close
e2e_check "the player quits at once while the dialog is shown" wait_player_exit 15
e2e_check "the quit came inside the configure" \
  grep -q 'plugin gen_hushcall.dll config done after quit' "$HC_WORK/player.log"
expect "stored Action after quit" 40046 "$(e2e_setting Action)"
expect "stored COMPort after quit" 5 "$(e2e_setting COMPort)"
expect "stored Volume after quit" 30 "$(e2e_setting Volume)"
expect "stored Enabled after quit" 1 "$(e2e_setting Enabled)"
