# The installer of the given build's edition, built here with makensis, in
# a prefix of that edition's kind that holds a player folder as the real
# player records it: a player of the other kind refused, silent install with
# an old COM registration cleaned up, a simulated call through the installed
# copy, an upgrade that closes the running player (not one run from another
# folder) and keeps the settings, the silent uninstall with and without the
# settings, and a hung player that fails setup in bounded time.
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
for f in gen_hushcall.dll Hushcall.dll Hushcall-uninstall.exe; do
  e2e_check "it put $f into the player's Plugins folder" test -f "$player/Plugins/$f"
done
e2e_check "and removed the old COM registration" \
  bash -c "! wine reg query 'HKLM\\Software\\Classes\\CLSID\\$INST_CLSID' $INST_REG_VIEW </dev/null >/dev/null 2>&1"
arp() { wine reg query "$INST_ARP" /v "$1" </dev/null 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_[A-Z]* *//p"; }
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
e2e_check "the other folder's player still runs, never asked to quit" \
  bash -c "kill -0 $second && ! grep -q wParam=40001 '$HC_WORK/second.log'"
hushctl player-close >/dev/null
e2e_check "and closes when the test asks it" e2e_until 20 gone "$second"

# uninstall ARGS...: the quiet uninstall string, run as Windows would, then
# a bounded wait for the uninstaller's copy in the temporary folder to end.
uninstall() {
  local program=$player/Plugins/Hushcall-uninstall.exe deadline=$((SECONDS + 30))
  wine "$program" /S "$@" </dev/null >/dev/null 2>&1
  while inst_key_exists "$INST_ARP"; do
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
e2e_check "an uninstall asked to remove the settings finishes" uninstall /REMOVESETTINGS
e2e_check "and leaves no settings either" \
  bash -c "! wine reg query '$INST_SETTINGS' </dev/null >/dev/null 2>&1"
e2e_check "nor anything else of ours" test -z "$(inst_left_over "$player/Plugins")"

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
