# Removal from the player's own preferences, through the stand-in player:
# winampUninstallPlugin, then quit, unload and deletion of the file. Nothing
# of ours is left but the settings, and those only when the user keeps them;
# the quit that follows the removal stores nothing. In a folder that can't
# be changed, the player hears that it is not removed, and why.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/ring_lib.sh"
. "$(dirname "$0")/install_lib.sh"
e2e_begin
plugins=$HC_WORK/plugins
touch "$plugins/gen_other.dll.txt" "$plugins/in_mp3.dll"

remove_session() {  # NAME ANSWER
  e2e_settings Enabled=0 COMPort=5 Action=122 Volume=30 Percent=0 Popup=0
  inst_register_old "$plugins/Hushcall.dll"
  ring_session "$1" --uninstall 0
  ring_expect "the removal asks about the settings" ring_box_handle 20000
  ring_box_press "$2"
  ring_expect "the player is told to remove it now" \
    e2e_wait_for "$HC_WORK/player.log" 'plugin gen_hushcall.dll uninstall -> 1$' 20
  ring_expect "and deletes the host wrapper after unloading it" \
    e2e_wait_for "$HC_WORK/player.log" 'plugin gen_hushcall.dll unloaded, file deleted$' 10
  ring_expect "the player quits cleanly" ring_quit
  ring_expect "its quit ran once, right after the removal" \
    test "$(ring_lines '^plugin gen_hushcall.dll quit done$')" -eq 1
  left=$(inst_left_over "$plugins")
  ring_expect "nothing of ours is left in the registry or the plug-in folder" test -z "$left"
  [ -n "$left" ] && echo "left: $left"
  ring_expect "the player's other files are untouched" \
    test -e "$plugins/gen_other.dll.txt" -a -e "$plugins/in_mp3.dll"
}

remove_session keep no
ring_expect "the settings are kept, as the user chose" test "$(e2e_setting Action)" = 122

cp "$HC_HOST_DLL" "$HC_PLUGIN_DLL" "$plugins/"
remove_session forget yes
ring_expect "the settings are gone, and the quit after the removal wrote none back" \
  bash -c "! wine reg query '$INST_SETTINGS' </dev/null >/dev/null 2>&1"

# Copied by hand into a folder this user can't change: nothing is reported
# as removed, and the one box names what is left.
cp "$HC_HOST_DLL" "$HC_PLUGIN_DLL" "$plugins/"
inst_read_only "$plugins" "$plugins/Hushcall.dll" "$plugins/gen_hushcall.dll"
ring_session locked --uninstall 0
ring_expect "the removal asks about the settings" ring_box_handle 20000
settings_box=$(ring_box_handle)
ring_box_press no
ring_expect "then says in one box that it could not finish" ring_box_again "$settings_box" 20000
box=$(ring_box_text)
ring_expect "naming both files and how to remove them" \
  bash -c '[[ $1 == *gen_hushcall.dll*Hushcall.dll*"delete these files"* ]]' - "$box"
ring_box_press ok
ring_expect "the player is not told that it is gone" \
  e2e_wait_for "$HC_WORK/player.log" 'plugin gen_hushcall.dll uninstall -> 0$' 10
ring_expect "the player quits cleanly" ring_quit
ring_expect "and both files are still there" test -f "$plugins/Hushcall.dll" -a -f "$plugins/gen_hushcall.dll"
