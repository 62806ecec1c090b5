#!/bin/bash
# The stand-in player with fake plug-ins, driven by hushctl under Wine:
# plug-ins get the player's window, the player answers the protocol
# messages, config runs on request, quit comes before the player exits
# (at once, even inside a config), and a plug-in whose init fails is
# unloaded without a quit.
#   player_plugins_test.sh player.exe gen_test.dll gen_zfail.dll hushctl.exe
set -u
here=$(dirname "$(readlink -f "$0")")
. "$here/../../tests/wine/wine-env.sh"

work=$(mktemp -d /tmp/hushcall-player-test.XXXXXX)
cleanup() { hc_wine_teardown; rm -rf "$work"; }
trap cleanup EXIT
hc_wine_setup || exit 1

cp "$1" "$work/player.exe"; cp "$4" "$work/hushctl.exe"
mkdir -p "$work/both" "$work/one"
cp "$2" "$3" "$work/both/"; cp "$2" "$work/one/"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ctl() { wine "$work/hushctl.exe" "$@" </dev/null | tr -d '\r'; return ${PIPESTATUS[0]}; }
expect_line() {  # file, extended regex
  grep -Eq -- "$2" "$1" || fail "$(basename "$1") has no line matching: $2"
}
expect_no_line() {
  ! grep -Eq -- "$2" "$1" || fail "$(basename "$1") should have no line matching: $2"
}
# Lines matching the first pattern come before lines matching the second.
expect_order() {
  local a b
  a=$(grep -En -- "$2" "$1" | head -1 | cut -d: -f1)
  b=$(grep -En -- "$3" "$1" | tail -1 | cut -d: -f1)
  [ -n "$a" ] && [ -n "$b" ] && [ "$a" -lt "$b" ] || fail "$(basename "$1"): '$2' not before '$3'"
}

# --- Run 1: two plug-ins, config by a posted command, close by WM_CLOSE.
log=$work/player.log
wine "$work/player.exe" --plugins "$(hc_winpath "$work/both")" --log "$(hc_winpath "$log")" \
  --state playing --volume 200 </dev/null >"$work/player.out" 2>&1 &
player=$!

ctl wait --class "Winamp v1.x" --state visible --timeout 20000 >/dev/null || fail "player window never showed"
ctl player-command --id 41000 || fail "player-command"
ctl wait --class "#32770" --title gen_test --state visible --timeout 10000 >/dev/null || fail "config box never showed"
text=$(ctl msgbox-text --class "#32770" --title gen_test)
[ "$text" = "gen_test config" ] || fail "message box text was '$text'"
box=(--class "#32770" --title gen_test)
dump=$(ctl dump "${box[@]}")
grep -Eq '^id=65535 class=Static text="gen_test config" rect=[-0-9]+,[-0-9]+,[-0-9]+,[-0-9]+ enabled=1 visible=1 checked=-$' <<<"$dump" ||
  fail "dump lacks the message text: $dump"
grep -Eq '^id=1 class=Button text="OK" .* enabled=1 visible=1 checked=0$' <<<"$dump" || fail "dump lacks OK: $dump"
[ "$(ctl get-text "${box[@]}" --text Cancel)" = "Cancel" ] || fail "get-text by caption"
[ "$(ctl enabled "${box[@]}" --id 2)" = "1" ] || fail "enabled"
read -r l t r b <<<"$(ctl rect "${box[@]}" --id 1)"
[ -n "$b" ] && [ "$r" -gt "$l" ] && [ "$b" -gt "$t" ] || fail "rect of OK: $l $t $r $b"
# Tab moves the dialog's focus as it would for a person.
ctl focused "${box[@]}" | grep -q '^id=1 ' || fail "OK should have the focus first"
ctl keys "${box[@]}" --keys tab || fail "keys"
ctl focused "${box[@]}" | grep -q '^id=2 ' || fail "Tab should move the focus to Cancel"
ctl focus "${box[@]}" --id 1 || fail "focus"
ctl focused "${box[@]}" | grep -q '^id=1 ' || fail "focus should return to OK"
ctl msgbox-press "${box[@]}" --button cancel || fail "msgbox-press"
ctl wait --class "#32770" --title gen_test --state gone --timeout 5000 >/dev/null || fail "config box stayed"
ctl player-close || fail "player-close"
wait $player; rc=$?
[ $rc -eq 0 ] || fail "player exit code $rc"

plog=$work/both/gen_test.log
expect_line "$plog" '^gen_test.dll init parent=player instance=set$'
expect_line "$plog" '^gen_zfail.dll init parent=player instance=set$'
for answer in 'volume-start 200' 'volume-after-300 255' 'volume-after-minus5 0' \
              'volume-after-128 128' 'status-start 1' 'status-after-pause 3' \
              'status-after-second-pause 1' 'status-after-stop 0' \
              'status-after-pause-while-stopped 0' 'status-after-play 1'; do
  expect_line "$plog" "^gen_test.dll answer $answer\$"
done
expect_line "$plog" '^gen_test.dll config end pressed=2$'
expect_line "$plog" '^gen_test.dll quit player=alive$'
expect_no_line "$plog" '^gen_zfail.dll (config|quit)'

expect_line "$log" '^[0-9]{16} start hwnd=0x[0-9A-F]{8} state=playing volume=200 pid=[0-9]+$'
expect_line "$log" ' plugin gen_test.dll init -> 0$'
expect_line "$log" ' plugin gen_zfail.dll init -> 1$'
expect_line "$log" ' msg WM_USER wParam=-666 lParam=122 -> 200 volume=200$'
expect_line "$log" ' msg WM_USER wParam=300 lParam=122 -> 0 volume=255$'
expect_line "$log" ' msg WM_USER wParam=-5 lParam=122 -> 0 volume=0$'
expect_line "$log" ' msg WM_USER wParam=0 lParam=104 -> 3 volume=128$'
expect_line "$log" ' msg WM_COMMAND wParam=40046 lParam=0 state=paused$'
expect_line "$log" ' msg WM_COMMAND wParam=40047 lParam=0 state=stopped$'
expect_line "$log" ' msg WM_COMMAND wParam=40045 lParam=0 state=playing$'
expect_order "$log" ' plugin gen_test.dll config$' ' plugin gen_test.dll config done$'
expect_order "$log" ' quit$' ' plugin gen_test.dll quit$'
expect_order "$log" ' plugin gen_test.dll quit done$' ' plugin gen_test.dll unloaded$'
expect_no_line "$log" 'gen_zfail.dll quit'
tail -1 "$log" | grep -Eq ' exit code=0$' || fail "the log does not end with the exit"
# Timestamps never go backwards.
awk 'NR > 1 && $1 < prev { bad = 1 } { prev = $1 } END { exit bad }' "$log" || fail "timestamps go backwards"

# --- Run 2: --config and --exit-after-ms; the exit does not wait for the
# config: the player quits and unloads the plug-in under its open box, the
# box goes with the player's window, and the config returns afterwards.
log2=$work/player2.log
wine "$work/player.exe" --plugins "$(hc_winpath "$work/one")" --log "$(hc_winpath "$log2")" \
  --state paused --volume 17 --config 0 --exit-after-ms 1500 </dev/null >"$work/player2.out" 2>&1 &
player=$!
ctl wait --class "#32770" --title gen_test --state visible --timeout 20000 >/dev/null || fail "--config box never showed"
ctl wait --class "#32770" --title gen_test --state gone --timeout 20000 >/dev/null || fail "the exit left the box up"
wait $player; rc=$?
[ $rc -eq 0 ] || fail "player exit code $rc (run 2)"
plog=$work/one/gen_test.log
expect_line "$plog" '^gen_test.dll answer volume-start 17$'
expect_line "$plog" '^gen_test.dll answer status-start 3$'
expect_order "$plog" '^gen_test.dll quit player=alive inside config$' '^gen_test.dll config end'
expect_order "$log2" ' exit timer$' ' plugin gen_test.dll quit$'
expect_order "$log2" ' plugin gen_test.dll unloaded$' ' plugin gen_test.dll config done after quit$'
tail -1 "$log2" | grep -Eq ' exit code=0$' || fail "run 2: the log does not end with the exit"

# --- hushctl reports failure for a window that isn't there.
ctl wait --class "#32770" --title "No such window" --timeout 200 >/dev/null 2>&1 && fail "wait for a missing window succeeded"
ctl msgbox-text --title "No such window" --timeout 200 >/dev/null 2>&1 && fail "msgbox-text on a missing window succeeded"

if [ $failures -ne 0 ]; then
  echo "--- player.log"; cat "$log"; echo "--- gen_test.log"; cat "$work/both/gen_test.log"
  echo "--- player2.log"; cat "$log2" 2>/dev/null
  exit 1
fi
echo "player plug-in test passed"
