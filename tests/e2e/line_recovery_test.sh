# A watched line that goes away and comes back: the modem simulator hangs
# up, the plug-in tells the user once and keeps trying the port quietly; a
# new simulator on the same link is reset and watched, and its next call
# gets exactly one reaction.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/ring_lib.sh"
e2e_begin

notice_is_the_lost_line() { test "$(ring_box_text)" = "$HC_LINE_LOST_TEXT"; }
no_box_comes() { ! ring_box_handle "$1" >/dev/null; }
reactions() { ring_lines 'msg WM_USER wParam=76 lParam=122'; }

e2e_settings Enabled=1 COMPort=5 Action=122 Volume=30 Percent=0 Popup=0
ring_restart_modem
ring_session lost --state playing
ring_expect "init returns once the modem answered" ring_started

e2e_modem_say hangup
ring_expect "the simulator hung up" e2e_wait_for "$HC_WORK/modem.log" 'ev hangup' 5
ring_expect "the notice comes" ring_box_handle 10000
ring_expect "with the lost-line text" notice_is_the_lost_line
ring_box_press ok
# The port stays absent for several retries (every 2 s): none of them asks.
ring_expect "no second box while the modem is away" no_box_comes 5000

# The next call is well after the line is back and the modem reset.
ring_restart_modem --calls 1 --rings 3 --ring-interval-ms 1000 --first-ring-ms 6000
ring_expect "the new modem is reset" e2e_wait_for "$HC_WORK/modem.log" ' rx ATZ\\r$' 10
ring_expect "the new modem played its call" e2e_wait_for "$HC_WORK/modem.log" 'ev call 1 ring 3/3' 20
ring_expect "its call gets a reaction" e2e_wait_for "$HC_WORK/player.log" 'msg WM_USER wParam=76 lParam=122' 5
# A second reaction would have come by the time the last ring was read.
sleep 1
ring_expect "exactly one ($(reactions))" test "$(reactions)" -eq 1
ring_expect "and no box at all" no_box_comes 500
ring_expect "the player quits cleanly with exit code 0" ring_quit
