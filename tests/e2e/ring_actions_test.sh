# The player reaction at the first ring, one player session per kind of
# action, all against one simulated modem: the exact messages the player
# gets for stop, pause (of a playing and of a paused player) and a volume
# as a percentage of the current one; the popup after the player message;
# a disabled plug-in that leaves the port alone; a ring report that
# arrives in pieces.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/ring_lib.sh"
e2e_begin

# ring_msgs: the protocol messages the player got in this session, in order.
ring_msgs() { ring_log | grep '^msg ' | sed -E 's/ (state|volume)=[a-z0-9]+$//' | paste -sd';'; }

e2e_wait_box() { ring_box_handle 10000 >/dev/null; }

# ring_now: one ring report from the modem, once the plug-in watches the port.
ring_now() { e2e_modem_say ring; }

# No scripted calls: every ring comes from the control FIFO.
ring_restart_modem

# Stop, with the popup.
e2e_settings Enabled=1 COMPort=5 Action=40047 Volume=30 Percent=0 Popup=1
ring_session stop-popup --state playing --volume 200
ring_expect "init returns once the modem answered" ring_started
ring_now
ring_expect "the popup appears" e2e_wait_box
ring_expect "the player was stopped before the popup appeared" \
  test "$(ring_msgs)" = "msg WM_COMMAND wParam=40047 lParam=0"
ring_expect "the popup says the phone is ringing" \
  test "$(ring_box_text)" = "$HC_RINGING_TEXT"
ring_box_press ok
ring_expect "the popup is dismissed" hushctl wait --class '#32770' --title "$HC_TITLE" --state gone
ring_expect "the player quits cleanly" ring_quit
ring_expect "stop sent nothing else" test "$(ring_msgs)" = "msg WM_COMMAND wParam=40047 lParam=0"

# Pause a playing player: asked first whether it plays, then paused.
e2e_settings Action=40046 Popup=0
ring_session pause-playing --state playing --volume 200
ring_expect "init returns" ring_started
ring_now
ring_expect "the player is paused" \
  e2e_wait_for "$HC_WORK/player.log" 'msg WM_COMMAND wParam=40046 lParam=0 state=paused$' 10
ring_expect "the player quits cleanly" ring_quit
ring_expect "the status query came first, answered 1 (playing)" \
  test "$(ring_msgs)" = "msg WM_USER wParam=0 lParam=104 -> 1;msg WM_COMMAND wParam=40046 lParam=0"

# Pause a player the user had paused: the pause command toggles, so it
# must not be sent.
ring_session pause-paused --state paused --volume 200
ring_expect "init returns" ring_started
ring_now
ring_expect "the player is asked whether it plays" \
  e2e_wait_for "$HC_WORK/player.log" 'msg WM_USER wParam=0 lParam=104 -> 3 ' 10
# The reaction runs on the player's thread, so the quit is handled only
# after it has sent whatever it was going to send.
ring_expect "the player quits cleanly" ring_quit
ring_expect "only the query was sent: the player stays paused" \
  test "$(ring_msgs)" = "msg WM_USER wParam=0 lParam=104 -> 3"

# Volume as a percentage of the current one: 7 % of 150 is just above
# 10.5 in double precision, so 11.
e2e_settings Action=122 Volume=7 Percent=1
ring_session percent --state playing --volume 150
ring_expect "init returns" ring_started
ring_now
ring_expect "the volume is set" \
  e2e_wait_for "$HC_WORK/player.log" 'msg WM_USER wParam=[0-9-]+ lParam=122 -> 0 ' 10
ring_expect "the player quits cleanly" ring_quit
ring_expect "the volume query came first, then 11" \
  test "$(ring_msgs)" = "msg WM_USER wParam=-666 lParam=122 -> 150;msg WM_USER wParam=11 lParam=122 -> 0"

# Disabled: the port is not opened, and rings reach nobody.
e2e_settings Enabled=0 Volume=30 Percent=0
ring_session disabled --state playing --volume 200
ring_expect "init returns" ring_started
ring_now
ring_expect "the ring went out on the line" e2e_wait_for "$HC_WORK/modem.log" 'tx RING\\r\\n' 5
# Had the port been open, the ring would have been read within
# milliseconds; 2 s is ample on a busy machine.
sleep 2
ring_expect "the player quits cleanly" ring_quit
ring_expect "nothing reached the modem" test "$(ring_modem_count ' rx ')" -eq 0
ring_expect "nothing reached the player" test -z "$(ring_msgs)"
ring_expect "Enabled stays stored as 0" test "$(e2e_setting Enabled)" = 0

# A modem that writes every result line in pieces ("RI", "NG", CR, LF):
# its "OK" and its ring reports are still recognised. A last piece below
# the receive threshold of 5 is raised once the line has been quiet for
# 50 ms, so a call of two rings 1 s apart is recognised by its first ring,
# and reacted to once.
ring_restart_modem --pieces
e2e_settings Enabled=1 Volume=50
ring_session pieces --state playing --volume 200
ring_expect "init returns once the modem's OK came in pieces" ring_started
ring_expect "the modem answered" test "$(ring_lines 'init -> 0$')" -eq 1
e2e_modem_say ring 2 1000
ring_expect "the modem rang twice" e2e_wait_for "$HC_WORK/modem.log" 'ev control ring 2/2' 10
ring_expect "the call in pieces is recognised" \
  e2e_wait_for "$HC_WORK/player.log" 'msg WM_USER wParam=128 lParam=122 -> 0 volume=128$' 5
# A second reaction would follow the second ring within milliseconds.
sleep 1
ring_expect "the player quits cleanly" ring_quit
ring_expect "one reaction for the call" test "$(ring_msgs)" = "msg WM_USER wParam=128 lParam=122 -> 0"
