# The host wrapper's start as the user meets it: a plug-in that cannot start
# says so once, with the reason, and the player closes cleanly even while
# that box is up; a Hushcall.dll of the other edition is named as such;
# Hushcall.dll is found beside the host wrapper in a folder whose path is
# longer than MAX_PATH.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/ring_lib.sh"
. "$(dirname "$0")/dialog_lib.sh"
e2e_begin

START_FAILURE="Hushcall could not start: a stored setting has the wrong type (type mismatch)."
no_box() { ! box wait --timeout 1500 >/dev/null; }

# A stored volume the conversions refuse ends the start before the port.
e2e_settings Enabled=0 COMPort=5 Action=122 Volume=abc Percent=0 Popup=0
ring_session volume-abc --state playing
ring_expect "the failed start is told with its reason" wait_box_text "$START_FAILURE" 15
ring_expect "init waits for the box" test "$(ring_lines 'init -> ')" -eq 0
box msgbox-press --button ok >/dev/null
ring_expect "then init fails" e2e_wait_for "$HC_WORK/player.log" 'gen_hushcall.dll init -> 1$' 10
ring_expect "and it is told once" no_box
ring_expect "the player quits cleanly" ring_quit
ring_expect "the failed start stored nothing" test "$(e2e_setting Volume)" = abc

ring_session close-under-box --state playing
ring_expect "the failed start is told" wait_box_text "$START_FAILURE" 15
ring_expect "the player's close under that box ends it cleanly" ring_quit

# The other edition's Hushcall.dll beside the host wrapper: it can't load,
# and the box says which build it is.
other_bits=64
[ "$HC_WINE_ARCH" = win64 ] && other_bits=32
e2e_check "the other edition's Hushcall.dll is built" cp "$HC_OTHER_PLUGIN_DLL" "$HC_WORK/plugins/"
ring_session other-edition --state playing
ring_expect "the box names the other edition's build" \
  wait_box_text "Hushcall could not start: Hushcall.dll beside this plug-in is the $other_bits-bit build." 15
box msgbox-press --button ok >/dev/null
ring_expect "then init fails" e2e_wait_for "$HC_WORK/player.log" 'gen_hushcall.dll init -> 1$' 10
ring_expect "the player quits cleanly" ring_quit

# A folder path of about 330 characters.
deep=$HC_WORK/plugins
for _ in 1 2 3 4 5 6; do deep=$deep/a-folder-name-of-fifty-characters-for-a-long-path-; done
mkdir -p "$deep" && cp "$HC_HOST_DLL" "$HC_PLUGIN_DLL" "$deep/"
rm "$HC_WORK/plugins/"*.dll
e2e_settings Volume=30
ring_session deep-folder --state playing --plugins "$(hc_winpath "$deep")"
ring_expect "the plug-in starts from a folder path beyond MAX_PATH (${#deep} characters)" \
  e2e_wait_for "$HC_WORK/player.log" 'gen_hushcall.dll init -> 0$' 15
ring_expect "no box" no_box
ring_expect "the player quits cleanly" ring_quit
