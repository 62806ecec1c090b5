# The installer of the given build's edition, built here with makensis, in
# a prefix of that edition's kind that holds a player folder as the real
# player records it: a player of the other kind refused, silent install with
# an old COM registration cleaned up (per machine, through the elevated
# copy), a simulated call through the installed copy, an upgrade that closes
# the running player (not one run from another folder) and keeps the
# settings, the silent uninstall with and without the settings, removal from
# the player's preferences through the uninstaller, a folder that can't be
# written (exit codes, entries and the player's box), the exit code of a
# declined elevation, and a hung player that fails setup in bounded time.
HC_WINE_ARCH=$(sed -n 's/^!define HUSHCALL_EDITION "\(.*\)"$/\1/p' \
  "${HC_WIN_BUILD:?}/generated/hushcall_edition.nsh")
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/ring_lib.sh"
. "$(dirname "$0")/install_lib.sh"
. "$(dirname "$0")/../pe/pe_lib.sh"
e2e_begin

setup=$(bash "$HC_E2E_DIR/../../scripts/package.sh" --no-build --build-dir "$HC_WIN_BUILD" \
  --out "$HC_WORK/dist") || { e2e_fail "makensis built no installer"; exit 1; }
e2e_ok "makensis built $(basename "$setup")"
# Each edition's name, own machine, and the player machine it refuses.
if [ "$HC_WINE_ARCH" = win64 ]; then
  suffix=-x64 machine=8664 name='Hushcall (64-bit)' other='\x4c\x01'
else
  suffix= machine=014c name=Hushcall other='\x64\x86'
fi
setup_fits() {
  [[ $(basename "$setup") =~ ^HushcallSetup-[0-9.]+$suffix\.exe$ ]] && [ "$(pe_machine "$setup")" = $machine ]
}
e2e_check "it is named for the $HC_WINE_ARCH edition and is a program of its machine" setup_fits

# The player's folder: the stand-in as winamp.exe, and a plug-in of another.
player=$HC_WORK/Winamp
mkdir -p "$player/Plugins"
cp "$HC_PLAYER_EXE" "$player/winamp.exe"
touch "$player/Plugins/in_mp3.dll"
rm -rf "$HC_WORK/plugins"
ln -s "$player/Plugins" "$HC_WORK/plugins"
HC_PLAYER_EXE=$player/winamp.exe
wine reg add 'HKCU\Software\Winamp' /ve /d "$(hc_winpath "$player")" /f </dev/null >/dev/null 2>&1
inst_reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Winamp' /v UninstallString \
  /d "\"$(hc_winpath "$player")\\UninstWA.exe\"" /f >/dev/null 2>&1

install() {  # runs the installer silently; its exit code
  wine "$setup" /S "$@" </dev/null >/dev/null 2>&1
}

# A player of the other kind, by its PE header alone (e_lfanew 0x40).
mkdir -p "$HC_WORK/other"
{ printf MZ; head -c 58 /dev/zero; printf "\x40\0\0\0PE\0\0$other"; } >"$HC_WORK/other/winamp.exe"
install "/D=$(hc_winpath "$HC_WORK/other")"
e2e_check "the silent install refuses a player of the other kind with an error code" test $? -ne 0
e2e_check "and writes nothing" \
  test "$(ls -A "$HC_WORK/other")" = winamp.exe -a -z "$(inst_left_over "$HC_WORK/other/Plugins")"

# An older install that registered Hushcall.dll, somewhere else.
mkdir -p "$HC_WORK/old"
cp "$HC_PLUGIN_DLL" "$HC_WORK/old/"
inst_register_old "$HC_WORK/old/Hushcall.dll"
e2e_check "the old registration is there to be removed" \
  inst_key_exists "HKLM\\Software\\Classes\\CLSID\\$INST_CLSID"

e2e_check "the silent install succeeds" install
# Removing that registration needs an administrator: the install is per
# machine, done by the elevated copy, whose exit code setup returned.
arp_key=$INST_ARP_MACHINE
per_machine() { inst_key_exists "$INST_ARP_MACHINE" && ! inst_key_exists "$INST_ARP"; }
e2e_check "that makes it per machine: its entry is under HKLM, none under HKCU" per_machine
for f in gen_hushcall.dll Hushcall.dll Hushcall-uninstall.exe; do
  e2e_check "it put $f into the player's Plugins folder" test -f "$player/Plugins/$f"
done
e2e_check "and removed the old COM registration" \
  bash -c "! wine reg query 'HKLM\\Software\\Classes\\CLSID\\$INST_CLSID' $INST_REG_VIEW </dev/null >/dev/null 2>&1"
arp() { inst_reg query "$arp_key" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_[A-Z]* *//p"; }
e2e_check "the Add or remove programs entry names it with its version" \
  test "$(arp DisplayName)" = "$name" -a -n "$(arp DisplayVersion)"
e2e_check "with a quiet uninstall string" \
  test "$(arp QuietUninstallString)" = "\"$(hc_winpath "$player")\\Plugins\\Hushcall-uninstall.exe\" /S"
e2e_check "and no modify or repair" test "$(arp NoModify)" = 0x1 -a "$(arp NoRepair)" = 0x1

# The installed copy at work: one call, one reaction.
e2e_settings Enabled=1 COMPort=5 Action=122 Volume=30 Percent=0 Popup=0
ring_restart_modem --calls 1 --rings 2 --ring-interval-ms 1000 --first-ring-ms 1500
ring_session installed --state playing --volume 200
ring_expect "the player loads the installed Hushcall" ring_started
ring_expect "which lowers the volume on the call" \
  e2e_wait_for "$HC_WORK/player.log" 'msg WM_USER wParam=76 lParam=122 -> 0 volume=76$' 15

# bare_player FOLDER NAME: FOLDER's winamp.exe without plug-ins, logging to
# NAME.log; waits for its window and leaves its process id in $bare.
bare_player() {
  mkdir -p "$HC_WORK/none"
  wine "$1/winamp.exe" --plugins "$(hc_winpath "$HC_WORK/none")" --log "$(hc_winpath "$HC_WORK")\\$2.log" \
    </dev/null >/dev/null 2>&1 &
  bare=$!
  HC_PIDS+=($bare)
  e2e_wait_for "$HC_WORK/$2.log" ' start hwnd=' 10
}
gone() { ! kill -0 "$1" 2>/dev/null; }

# Upgrade over it while the player runs, and a second player, from another
# folder, that is none of setup's business.
touch -d '2001-01-01' "$player/Plugins/Hushcall.dll" "$player/Plugins/gen_hushcall.dll"
e2e_settings Volume=40
mkdir -p "$HC_WORK/Winamp2"
cp "$HC_PLAYER_EXE" "$HC_WORK/Winamp2/winamp.exe"
e2e_check "a second player runs from another folder" bare_player "$HC_WORK/Winamp2" second
second=$bare
e2e_check "the upgrade succeeds with the player running" install
ring_expect "it closed the player first, which quit cleanly" \
  grep -Eq '^[0-9]+ exit code=0$' "$HC_WORK/player.log"
for f in Hushcall.dll gen_hushcall.dll; do
  ring_expect "$f was replaced" test "$(stat -c %Y "$player/Plugins/$f")" -gt "$(date -d 2002-01-01 +%s)"
done
ring_expect "the stored settings stay" test "$(e2e_setting Action)" = 122
ring_expect "and it stays per machine" per_machine
e2e_check "the other folder's player still runs, never asked to quit" \
  bash -c "kill -0 $second && ! grep -q wParam=40001 '$HC_WORK/second.log'"
hushctl player-close >/dev/null
e2e_check "and closes when the test asks it" e2e_until 20 gone "$second"

# uninstall ARGS...: the quiet uninstall string, run as Windows would, then
# a bounded wait for the uninstaller's copy in the temporary folder to end.
uninstall() {
  local program=$player/Plugins/Hushcall-uninstall.exe deadline=$((SECONDS + 30))
  wine "$program" /S "$@" </dev/null >/dev/null 2>&1
  while inst_key_exists "$arp_key"; do
    [ $SECONDS -ge $deadline ] && return 1
    sleep 0.2
  done
}
bare_player "$player" removal
e2e_check "the silent uninstall finishes" uninstall
e2e_check "having closed the player of its folder" gone "$bare"
left=$(inst_left_over "$player/Plugins")
e2e_check "it leaves nothing of ours" test -z "$left"
[ -n "$left" ] && echo "left: $left"
e2e_check "but the settings" test "$(e2e_setting Action)" = 122
e2e_check "and the player's other plug-ins" test -f "$player/Plugins/in_mp3.dll"

install
arp_key=$INST_ARP
per_user() { inst_key_exists "$INST_ARP" && ! inst_key_exists "$INST_ARP_MACHINE"; }
e2e_check "without machine-wide traces, into the user's own folder, it is per user" per_user
e2e_check "an uninstall asked to remove the settings finishes" uninstall /REMOVESETTINGS
e2e_check "and leaves no settings either" \
  bash -c "! wine reg query '$INST_SETTINGS' </dev/null >/dev/null 2>&1"
e2e_check "nor anything else of ours" test -z "$(inst_left_over "$player/Plugins")"

# Removal from the player's preferences: the settings box is answered, the
# rest is up to the plug-in.
remove_in_player() {  # NAME
  e2e_settings Enabled=0
  ring_session "$1" --uninstall 0
  ring_expect "the removal asks about the settings" ring_box_handle 20000
  settings_box=$(ring_box_handle)
  ring_box_press no
}
install
remove_in_player installed
ring_expect "removal from the player runs setup's uninstaller and reports success" \
  e2e_wait_for "$HC_WORK/player.log" 'plugin gen_hushcall.dll uninstall -> 1$' 30
ring_expect "the player deletes the host wrapper" \
  e2e_wait_for "$HC_WORK/player.log" 'plugin gen_hushcall.dll unloaded, file deleted$' 10
ring_expect "the player quits cleanly" ring_quit
left=$(inst_left_over "$player/Plugins")
ring_expect "no file, no entry and no uninstaller is left" test -z "$left"
[ -n "$left" ] && echo "left: $left"

# A folder this user can't change: Windows' "access denied" under Wine.
install
locked=("$player/Plugins" "$player/Plugins/"{gen_hushcall.dll,Hushcall.dll,Hushcall-uninstall.exe})
inst_read_only "${locked[@]}"
remove_in_player locked
ring_expect "a removal that can't finish says so in one box" ring_box_again "$settings_box" 30000
box=$(ring_box_text)
ring_expect "which names every file left and the way to remove them" \
  bash -c '[[ $1 == *gen_hushcall.dll*Hushcall.dll*Hushcall-uninstall.exe*"Add or remove programs"* ]]' - "$box"
ring_box_press ok
ring_expect "and the player is told it is not removed now" \
  e2e_wait_for "$HC_WORK/player.log" 'plugin gen_hushcall.dll uninstall -> 0$' 10
ring_expect "the player quits cleanly" ring_quit
e2e_check "the files stay" test -f "$player/Plugins/Hushcall.dll" -a -f "$player/Plugins/gen_hushcall.dll"
e2e_check "and so does the entry" per_user
# In place (_?=), the uninstaller's own exit code is the outcome.
wine "$player/Plugins/Hushcall-uninstall.exe" /S "_?=$(hc_winpath "$player")\Plugins" </dev/null >/dev/null 2>&1
rc=$?
failed_keeping_entry() { [ "$rc" -eq 2 ] && per_user; }
e2e_check "the uninstaller there fails (exit $rc) and keeps its entry" failed_keeping_entry
inst_writable "${locked[@]}"
e2e_check "once the folder may be changed, the uninstall finishes" uninstall

mkdir -p "$HC_WORK/Locked/Plugins"
cp "$HC_PLAYER_EXE" "$HC_WORK/Locked/winamp.exe"
inst_read_only "$HC_WORK/Locked/Plugins"
install "/D=$(hc_winpath "$HC_WORK/Locked")"
rc=$?
e2e_check "an install into a folder that can't be written fails with the elevated copy's code (exit $rc)" \
  test $rc -eq 2
e2e_check "and leaves no file and no entry" test -z "$(inst_left_over "$HC_WORK/Locked/Plugins")"

# Wine runs every user as an administrator, so a declined elevation never
# happens here: the macro that maps it is driven on its own.
cat >"$HC_WORK/mode.nsi" <<'NSI'
Target ${TARGET}
OutFile "${OUT}"
SilentInstall silent
RequestExecutionLevel user
!include LogicLib.nsh
!include "${MODE_NSH}"
!macro CASE started error child
  !insertmacro ELEVATED_EXIT_CODE $0 ${started} ${error} ${child}
  FileWrite $9 "${started} ${error} ${child} -> $0$\n"
!macroend
Section
  FileOpen $9 "$EXEDIR\mode.txt" w
  !insertmacro CASE 1 0 0
  !insertmacro CASE 1 0 2
  !insertmacro CASE 0 1223 0
  !insertmacro CASE 0 2 0
  FileClose $9
SectionEnd
NSI
# Of the edition's kind: a 32-bit program won't run where the machine runs
# no 32-bit code.
mode_target=x86-unicode
[ "$HC_WINE_ARCH" = win64 ] && mode_target=amd64-unicode
makensis -V1 -DTARGET=$mode_target -DOUT="$HC_WORK/mode.exe" \
  -DMODE_NSH="$HC_E2E_DIR/../../installer/install_mode.nsh" "$HC_WORK/mode.nsi" >/dev/null &&
  wine "$HC_WORK/mode.exe" </dev/null >/dev/null 2>&1
e2e_check "setup's exit code: the elevated copy's own, 1 when declined, 2 when it can't start" \
  test "$(tr -d '\r' <"$HC_WORK/mode.txt" 2>/dev/null)" = "$(printf '1 0 0 -> 0\n1 0 2 -> 2\n0 1223 0 -> 1\n0 2 0 -> 2')"

# The player found through its uninstall entry alone.
wine reg delete 'HKCU\Software\Winamp' /f </dev/null >/dev/null 2>&1
install
e2e_check "without HKCU\\Software\\Winamp the uninstall entry's folder is used" \
  test -f "$player/Plugins/gen_hushcall.dll"

# A hung player (stopped): setup asks it to quit, waits its bounded time,
# then fails rather than hang; the quit it posted is handled once it runs.
bare_player "$player" hung
kill -STOP "$bare"
timeout 60 wine "$setup" /S </dev/null >/dev/null 2>&1
rc=$?
e2e_check "a hung player fails the silent install in bounded time (exit $rc)" test $rc -ne 0 -a $rc -ne 124
kill -CONT "$bare"
e2e_check "the player got the quit command" e2e_until 20 gone "$bare"
