# The modem failure box at start, for each way the modem can fail to
# answer, and the three answers to it: Yes retries (the box comes again),
# No shows the options dialog modally before init returns, Cancel disables
# the plug-in (stored as Enabled "0" when the player quits).
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/ring_lib.sh"
e2e_begin

now_us() { date +%s%6N; }

# box_is_the_failure_box: the box up now has exactly the failure text.
box_comes() { ring_box_handle "$1" >/dev/null; }
box_is_the_failure_box() { test "$(ring_box_text)" = "$HC_MODEM_FAILURE_TEXT"; }
# atz_count_reaches N SECONDS: the modem has seen N resets this session.
session_atz_at_least() { [ "$(ring_modem_count ' rx ATZ')" -ge "$1" ]; }
atz_count_reaches() { e2e_until "$2" session_atz_at_least "$1"; }
init_pending() { test "$(ring_lines 'init -> ')" -eq 0; }
options_visible() {
  hushctl wait --class '#32770' --title "$HC_OPTIONS_TITLE" --state visible --timeout 10000 >/dev/null
}

# expect_box_then_cancel: the failure box comes; Cancel lets init return.
expect_box_then_cancel() {
  ring_expect "the failure box comes" box_comes "${1:-10000}"
  ring_expect "with the failure text" box_is_the_failure_box
  ring_expect "init waits for the answer" init_pending
  ring_box_press cancel
  ring_expect "Cancel lets init return" ring_started
}

quit_and_expect_enabled() {
  ring_expect "the player quits cleanly" ring_quit
  ring_expect "Enabled is stored as $1" test "$(e2e_setting Enabled)" = "$1"
}

# COM5 mapped to nothing: Yes brings the box again, No the options dialog.
ln -sfn "$HC_WORK/no-such-device" "$WINEPREFIX/dosdevices/com5"
e2e_settings Enabled=1 COMPort=5 Action=122 Volume=30 Percent=0 Popup=0
ring_session nothing-mapped --state playing
first=$(ring_box_handle 10000)
ring_expect "the failure box comes" test -n "$first"
ring_expect "with the failure text" box_is_the_failure_box
ring_expect "init waits for the answer" init_pending
ring_box_press yes
ring_expect "Yes brings the box again" ring_box_again "$first" 10000
ring_expect "with the same text" box_is_the_failure_box
ring_box_press no
ring_expect "No shows the options dialog" options_visible
ring_expect "init waits while the dialog is shown" init_pending
ring_expect "its Cancel button is clicked" \
  hushctl click --class '#32770' --title "$HC_OPTIONS_TITLE" --id "$ID_CMD_CANCEL" --settle 5000
ring_expect "init returns once the dialog is cancelled" ring_started
if ! ring_started 1; then
  echo "--- options dialog visible: $(hushctl visible --class '#32770' --title "$HC_OPTIONS_TITLE" --timeout 500)"
fi
quit_and_expect_enabled 1

# COM7: no such port at all.
e2e_settings Enabled=1 COMPort=7
ring_session com7-unmapped --state playing
expect_box_then_cancel
quit_and_expect_enabled 0

# Port 0: refused before any device is tried.
e2e_settings Enabled=1 COMPort=0
ring_session port-0 --state playing
expect_box_then_cancel
quit_and_expect_enabled 0

# A modem that never answers: the box comes after the reply wait; Yes
# sends ATZ again.
ring_restart_modem --answer none
e2e_settings Enabled=1 COMPort=5
ring_session silent --state playing
ring_expect "ATZ reaches the modem" e2e_wait_for "$HC_WORK/modem.log" ' rx ATZ\\r$' 10
first=$(ring_box_handle 20000)
seen=$(now_us)
ring_expect "the failure box comes" test -n "$first"
atz=$(ring_modem_log | awk '/ rx ATZ/ {print $1; exit}')
# The plug-in waits some seconds for the reply before giving up.
ring_expect "only after waiting for the reply ($(( (seen - atz) / 1000 )) ms)" \
  test $((seen - atz)) -ge 3000000
ring_expect "with the failure text" box_is_the_failure_box
ring_box_press yes
ring_expect "Yes sends ATZ again" atz_count_reaches 2 10
ring_expect "and the box comes again" ring_box_again "$first" 20000
ring_expect "with the failure text" box_is_the_failure_box
ring_box_press cancel
ring_expect "Cancel lets init return" ring_started
ring_expect "ATZ was sent exactly twice" test "$(ring_modem_count ' rx ATZ')" -eq 2
quit_and_expect_enabled 0

# Answers that are not "OK" CR LF count as silence.
for answer in lowercase cr-only; do
  ring_restart_modem --answer "$answer"
  e2e_settings Enabled=1
  ring_session "answer-$answer" --state playing
  ring_expect "the modem answers $answer" e2e_wait_for "$HC_WORK/modem.log" ' tx .*(ok|OK)' 10
  expect_box_then_cancel 20000
  quit_and_expect_enabled 0
done
