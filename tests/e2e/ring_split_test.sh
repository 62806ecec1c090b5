# A ring report cut in two as a USB adapter's latency timer cuts it: CR LF
# "RIN", then 20 ms later "G" CR LF. The last piece is below the receive
# threshold of 5, yet the call's first ring gets its reaction within 100 ms
# of the report's last byte, measured from the simulator's own stamp of that
# write to the player's stamp of the reaction (so a slow test machine only
# costs what it costs Hushcall).
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/ring_lib.sh"
e2e_begin

readonly kBoundUs=100000
readonly kGapUs=20000

ring_restart_modem
e2e_settings Enabled=1 COMPort=5 Action=122 Volume=50 Percent=0 Popup=0
ring_session split --state playing --volume 200
ring_expect "init returns once the modem answered" ring_started

# One write to the FIFO: the simulator spaces the pieces itself.
e2e_modem_say $'send \\r\\nRIN\npause 20\nsend G\\r\\n'
reaction='msg WM_USER wParam=128 lParam=122 -> 0 '
ring_expect "the split report gets its reaction" e2e_wait_for "$HC_WORK/player.log" "$reaction" 10

stamp() { grep -E -- "$2" "$1" | head -1 | awk '{print $1}'; }
first_us=$(stamp "$HC_WORK/modem.log" ' tx \\r\\nRIN$')
last_us=$(stamp "$HC_WORK/modem.log" ' tx G\\r\\n$')
reacted_us=$(stamp "$HC_WORK/player.log" "$reaction")
echo "pieces $(( (last_us - first_us) / 1000 )) ms apart; reaction $(( (reacted_us - last_us) / 1000 )) ms after the last byte"
ring_expect "the pieces went out at least 20 ms apart" test $((last_us - first_us)) -ge $kGapUs
ring_expect "the reaction came within 100 ms of the last byte" test $((reacted_us - last_us)) -le $kBoundUs
ring_expect "the player quits cleanly" ring_quit
ring_expect "one reaction for the ring" test "$(ring_lines "$reaction")" -eq 1
