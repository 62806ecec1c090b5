# The ring watch from end to end, through one player session: the modem
# reset at start, one reaction per call however many rings it has, a new
# reaction once the 10 s call timer has run out, and a line that hangs up
# while watched.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/ring_lib.sh"
e2e_begin

e2e_settings Enabled=1 COMPort=5 Action=122 Volume=30 Percent=0 Popup=0
# Two calls of three rings 1 s apart; the second call starts 11 s after
# the first call's last ring, when its timer (10 s) has run out.
ring_restart_modem --calls 2 --rings 3 --ring-interval-ms 1000 --call-gap-ms 11000 \
  --first-ring-ms 500
ring_session calls --state playing --volume 200

ring_expect "init returns once the modem answered" ring_started
ring_expect "the modem is reset with ATZ CR" \
  e2e_wait_for "$HC_WORK/modem.log" ' rx ATZ\\r$' 5
ring_expect "ATZ is sent once" test "$(ring_modem_count ' rx ATZ')" -eq 1

ring_expect "first call: the volume is set to 30 % of full scale" \
  e2e_wait_for "$HC_WORK/player.log" 'msg WM_USER wParam=76 lParam=122 -> 0 volume=76$' 10
ring_expect "the modem played both calls" \
  e2e_wait_for "$HC_WORK/modem.log" 'ev call 2 ring 3/3' 30
# The reaction to a ring comes within milliseconds; a second one would
# have been sent by the time the call's last ring has been read.
sleep 1
ring_expect "six rings in two calls give exactly two reactions" \
  test "$(ring_lines 'msg WM_USER wParam=76 lParam=122')" -eq 2
ring_expect "and nothing else reached the player" \
  test "$(ring_lines '^msg ')" -eq 2
ring_expect "the second reaction came after the first call's timer ran out" \
  bash -c "awk '/msg WM_USER wParam=76/ {t[n++]=\$1} END {exit !(n == 2 && t[1] - t[0] > 10e6)}' '$HC_WORK/player.log'"

# The line goes dead while the port is watched.
e2e_modem_say hangup
ring_expect "the simulator hung up" e2e_wait_for "$HC_WORK/modem.log" 'ev hangup' 5
sleep 1
hushctl player-command --id 40047 >/dev/null
ring_expect "the player still answers after the hangup" \
  e2e_wait_for "$HC_WORK/player.log" 'msg WM_COMMAND wParam=40047 lParam=0 state=stopped' 10
ring_expect "the player quits cleanly with exit code 0" ring_quit
ring_expect "the plug-in was quit before the player exited" \
  test "$(ring_lines '^plugin gen_hushcall.dll quit done$')" -eq 1
ring_expect "the stored settings stay as they were" \
  test "$(e2e_setting Enabled)" = 1 -a "$(e2e_setting Action)" = 122
