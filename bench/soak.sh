#!/bin/bash
# A long run under Wine, printed as figures, not a pass/fail test:
#  1. --calls incoming calls through --pairs stand-in players, each with its
#     own modem simulator and port as in bench/run.sh (calls --period-ms, 12 s, apart per
#     port, staggered across ports), with a mix of actions (volume, pause,
#     stop), the popup on half the players (answered here), result lines in
#     pieces and noise between lines on some simulators, and a hang-up and
#     return of the line every --hangup-every calls (the simulator restarted
#     on the same link; the plug-in's "lost the modem" box answered here).
#     It counts one reaction per call and none else, checks that no player
#     crashed and that all exit cleanly, and prints each player's handle count
#     and private memory (logged every --resource-ms) first, last and maximum.
#     A call without a reaction is told apart by the plug-in's own trace of
#     its call timer: "not ended" when the previous call was still running
#     at its ring (the plug-in took it for the same call), "missing" when it
#     had ended. A port whose last two or more calls all went missing is
#     named deaf from the first of them;
#  2. --cycles COM start/stop cycles of plugin_cycles_test in one process
#     (0: none).
#
#   bench/soak.sh [--arch win32|win64] [--calls N] [--pairs K] [--hangup-every N] [--cycles N]
#                 [--resource-ms MS] [--period-ms MS]
#
# --arch chooses the edition: by default the 32-bit one where this machine
# runs it (scripts/arches.sh --one). Needs the built trees build/native and
# build/<arch>. Writes nothing to the repository; the last line is a
# one-line summary.
set -u

arch=""
calls=1000
pairs=12
hangup_every=100
cycles=10000
resource_ms=10000
# A call lasts 10 s after its last ring; 2 s more for a loaded machine.
period_ms=12000
while [ $# -gt 0 ]; do
  case $1 in
    --arch) arch=$2; shift 2 ;;
    --calls) calls=$2; shift 2 ;;
    --pairs) pairs=$2; shift 2 ;;
    --hangup-every) hangup_every=$2; shift 2 ;;
    --cycles) cycles=$2; shift 2 ;;
    --resource-ms) resource_ms=$2; shift 2 ;;
    --period-ms) period_ms=$2; shift 2 ;;
    -h|--help) sed -n '2,28p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "soak: unknown option $1" >&2; exit 2 ;;
  esac
done

root=$(cd "$(dirname "$0")/.." && pwd)
arch=${arch:-$("$root/scripts/arches.sh" --one)}
case "$arch" in win32|win64) ;; *) echo "soak: --arch is win32 or win64" >&2; exit 2 ;; esac
export HC_WINE_ARCH=$arch HC_WIN_BUILD=$root/build/$arch
export HC_MODEMSIM=$root/build/native/tools/modemsim/modemsim
cycles_exe=$HC_WIN_BUILD/plugin/win32/tests/plugin_cycles_test.exe
for f in "$HC_MODEMSIM" "$HC_WIN_BUILD/player/player.exe" "$cycles_exe"; do
  [ -e "$f" ] || { echo "soak: $f missing; run scripts/build.sh" >&2; exit 1; }
done

readonly kFirstPort=5
readonly kActions=(122 40046 40047)
readonly kLostText="Hushcall lost the modem on COM"
readonly kRingingText="The phone is ringing!"

. "$root/tests/e2e/lib.sh"
e2e_begin
started=$SECONDS
say() { echo "soak: $*" >&2; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }

# --- the pairs ---------------------------------------------------------------

# Pair i: action kActions[i % 3]; popup on the second half; simulator shaping
# by i % 4: plain, pieces, noise, both.
action_of() { echo "${kActions[$(($1 % 3))]}"; }
popup_of() { [ "$1" -ge $((pairs / 2)) ] && echo 1 || echo 0; }
shaping_of() {
  case $(($1 % 4)) in 1) echo --pieces ;; 2) echo --noise ;; 3) echo --pieces --noise ;; esac
}

# start_modem I: the simulator of pair I, a new transcript for each start.
start_modem() {
  local i=$1 port=$((kFirstPort + $1)) gen
  gen=$(ls "$HC_WORK"/modem$port.*.log 2>/dev/null | wc -l)
  rm -f "$HC_WORK/modem$port.ctl"
  # shellcheck disable=SC2046
  "$HC_MODEMSIM" --link "$WINEPREFIX/dosdevices/com$port" $(shaping_of "$i") \
    --transcript "$HC_WORK/modem$port.$gen.log" --control "$HC_WORK/modem$port.ctl" \
    </dev/null >"$HC_WORK/modem$port.out" 2>&1 &
  echo $! >"$HC_WORK/modem$port.pid"
  echo $! >>"$HC_WORK/pids"
  e2e_wait_for "$HC_WORK/modem$port.out" '^ready' 10 || { say "simulator on COM$port did not start"; exit 1; }
}

# hangup_and_return I: the line of pair I goes and comes back 3 s later.
hangup_and_return() {
  local port=$((kFirstPort + $1)) pid
  pid=$(cat "$HC_WORK/modem$port.pid")
  echo hangup >"$HC_WORK/modem$port.ctl"
  sleep 0.5
  kill "$pid" 2>/dev/null
  while kill -0 "$pid" 2>/dev/null; do sleep 0.1; done
  sleep 2.5
  start_modem "$1"
}

start_player() {
  local i=$1 port=$((kFirstPort + $1))
  local log=$HC_WORK/player$port.log
  e2e_settings COMPort="$port" Action="$(action_of "$i")" Popup="$(popup_of "$i")"
  # The plug-in's trace (its call timer among it) goes to player<port>.out.
  WINEDEBUG=-all,+debugstr wine "$HC_PLAYER_EXE" --plugins "$(hc_winpath "$HC_WORK/plugins")" \
    --log "$(hc_winpath "$HC_WORK")\\player$port.log" --state playing --volume 200 \
    --resource-log-ms "$resource_ms" </dev/null >"$HC_WORK/player$port.out" 2>&1 &
  echo $! >"$HC_WORK/player$port.pid"
  echo $! >>"$HC_WORK/pids"
  e2e_wait_for "$log" 'plugin gen_hushcall\.dll init -> ' 60 || { say "player on COM$port did not start"; exit 1; }
  grep -q 'plugin gen_hushcall\.dll init -> 0' "$log" || { say "plug-in init failed on COM$port"; exit 1; }
}

# Every "Hushcall" box (the popup, the lost line) answered with OK and
# recorded as "<seen ms> <closed ms> <handle> <process id> <text>", until the
# stop file appears. Text and process are read from the very box pressed:
# two players may show boxes at once. With a dozen players' boxes taking the
# focus in turn, a synthetic click now and then is lost and its box stays up;
# the box is then sent its OK command directly, and the lost click logged in
# clicks-lost. A press that reports failure may still have closed its box (a
# loaded box answers the click late), so whether it closed is what counts.
# (A box answered while a box opened inside it is up only hides until then.)
box_closed() {
  hushctl wait --hwnd "$1" --state gone --timeout 1000 >/dev/null ||
    [ "$(hushctl visible --hwnd "$1" --timeout 200)" != 1 ]
}
answer_boxes() {
  local box seen text pid
  while [ ! -e "$HC_WORK/stop" ]; do
    box=$(hushctl wait --class '#32770' --title "$HC_TITLE" --state visible --timeout 300) || { sleep 0.2; continue; }
    seen=$(now_ms)
    text=$(hushctl msgbox-text --hwnd "$box" --timeout 200) || continue
    pid=$(hushctl process --hwnd "$box" --timeout 200) || continue
    hushctl msgbox-press --hwnd "$box" --button ok --timeout 200 >/dev/null
    if ! box_closed "$box"; then
      echo "$(now_ms) $box" >>"$HC_WORK/clicks-lost"
      hushctl msgbox-press --hwnd "$box" --button ok --command 1 --timeout 200 >/dev/null
      box_closed "$box" || continue
    fi
    echo "$seen $(now_ms) $box $pid $text" >>"$HC_WORK/boxes"
  done
}

# popups_of LOG REACTION-RE: "<answered> <skipped> <unmatched>" for one
# player's reacted calls, on the plug-in's own time line (its traces of each
# popup shown and answered). A call whose popup was still up shows none (one
# popup at a time): skipped. A call with no popup otherwise, a second popup
# for one call, and a popup never answered are unmatched. Reactions come
# first in a tie: the popup follows its call's reaction.
popups_of() {
  { grep -E -- "$2" "$1" | awk '{ print substr($1, 1, length($1) - 3), "call" }'
    grep -Eo "Hushcall [0-9]+: box (shown|answered [0-9-]+): $kRingingText" "${1%.log}.out" |
      awk '{ print substr($2, 1, length($2) - 1), ($4 == "shown:" ? "shown" : "answered") }'
  } | sort -s -n -k1,1 | awk '
    function settle() { if (calls && !shown) { if (upAtCall) skipped++; else unmatched++ } }
    $2 == "call" { settle(); calls++; shown = 0; upAtCall = up > 0 }
    $2 == "shown" { if (!calls || shown) unmatched++; else shown = 1; up++ }
    $2 == "answered" { up--; answered++ }
    END { settle(); print answered + 0, skipped + 0, unmatched + up }'
}

: >"$HC_WORK/pids"; : >"$HC_WORK/boxes"; : >"$HC_WORK/clicks-lost"
stop_all() { touch "$HC_WORK/stop"; while read -r p; do kill "$p" 2>/dev/null; done <"$HC_WORK/pids"; }
# HC_SOAK_KEEP=DIR keeps the logs and transcripts there.
keep_logs() { [ -n "${HC_SOAK_KEEP:-}" ] && mkdir -p "$HC_SOAK_KEEP" && cp -r "$HC_WORK/." "$HC_SOAK_KEEP/"; }
# e2e_end reads the script's exit status, which the steps before it must not replace.
trap 'rc=$?; stop_all; keep_logs; (exit $rc); e2e_end' EXIT

e2e_settings Enabled=1 Volume=50 Percent=0
say "starting $pairs players on COM$kFirstPort..COM$((kFirstPort + pairs - 1))"
for ((i = 0; i < pairs; i++)); do start_modem "$i"; start_player "$i"; done
answer_boxes &
echo $! >>"$HC_WORK/pids"

# --- the calls ---------------------------------------------------------------

stagger_ms=$((period_ms / pairs))
hangups=0
declare -a sent
for ((i = 0; i < pairs; i++)); do sent[$i]=0; done
say "$calls calls, one every $stagger_ms ms across the ports; a hang-up every $hangup_every calls"
t0=$(now_ms)
for ((k = 0; k < calls; k++)); do
  i=$((k % pairs))
  wait_ms=$((t0 + k * stagger_ms - $(now_ms)))
  [ $wait_ms -gt 0 ] && sleep "$(printf '%d.%03d' $((wait_ms / 1000)) $((wait_ms % 1000)))"
  # Noted before the ring is asked for, so that it precedes its reaction.
  now_ms >>"$HC_WORK/rings$((kFirstPort + i))"
  echo ring >"$HC_WORK/modem$((kFirstPort + i)).ctl"
  sent[$i]=$((sent[$i] + 1))
  if [ $(((k + 1) % hangup_every)) -eq 0 ]; then
    # After this call's reaction, well before this port's next ring.
    (sleep 1.5; hangup_and_return "$i") &
    hangups=$((hangups + 1))
  fi
  [ $(((k + 1) % 100)) -eq 0 ] && say "$((k + 1)) calls"
done
sleep 5
# The last calls' boxes answered before the count (a minute at most).
for ((try = 0; try < 60; try++)); do
  hushctl wait --class '#32770' --title "$HC_TITLE" --state visible --timeout 100 >/dev/null || break
  sleep 1
done

# --- the checks --------------------------------------------------------------

crashed=0
for ((i = 0; i < pairs; i++)); do
  port=$((kFirstPort + i))
  kill -0 "$(cat "$HC_WORK/player$port.pid")" 2>/dev/null || crashed=$((crashed + 1))
done
touch "$HC_WORK/stop"; sleep 1.5
# Each close reaches one of the players; all must exit with code 0.
players_alive() {
  local port
  for ((port = kFirstPort; port < kFirstPort + pairs; port++)); do
    kill -0 "$(cat "$HC_WORK/player$port.pid")" 2>/dev/null && return 0
  done
  return 1
}
for ((try = 0; try < 3 * pairs; try++)); do
  players_alive || break
  hushctl player-close >/dev/null; sleep 0.5
done

# Reactions per player: the message its action sends on each call. A pause
# asks first whether the player plays (lParam 104) and toggles only then:
# one pause command in all, then only the question.
reaction_re() {
  case $1 in
    122) echo 'msg WM_USER wParam=[0-9]+ lParam=122 ' ;;
    40046) echo 'msg WM_USER wParam=0 lParam=104 ' ;;
    40047) echo 'msg WM_COMMAND wParam=40047 ' ;;
  esac
}
# calls_of LOG RINGS REACTION-RE: "<missing> <not ended> <deaf from>" for one
# player. Its rings, reactions and call ends (the plug-in's 10 s timer
# expiring) in time order: a ring with no reaction before the next one is
# "not ended" when the plug-in's previous call had not ended at that ring,
# else missing; "deaf from" is the first of the last two or more calls that
# all went missing (0 for none).
calls_of() {
  # Within one millisecond a ring comes first, its reaction last.
  { awk '{ print $1, "ring", 0 }' "$2"
    grep -Eo 'Hushcall [0-9]+: timer 10000 ms: expired' "${1%.log}.out" | awk '{ print $2 + 0, "end", 1 }'
    grep -E -- "$3" "$1" | awk '{ print substr($1, 1, length($1) - 3), "reaction", 2 }'
  } | sort -k1,1n -k3,3n | awk '
    function settle() { if (n && !reacted) { if (open_at) late++; else { missing++; if (!run) run = n; trail++ } } }
    $2 == "ring" { settle(); n++; reacted = 0; open_at = open }
    $2 == "reaction" { if (n && !reacted) { reacted = 1; run = 0; trail = 0 } open = 1 }
    $2 == "end" { open = 0 }
    END { settle(); print missing + 0, late + 0, (trail >= 2 ? run : 0) }'
}

total=0 missing=0 not_ended=0 extra=0 unclean=0 popup_calls=0 popups=0 skipped=0 unmatched=0
deaf=""
table=""
handles_first=0 handles_last=0 handles_max=0 kb_first=0 kb_last=0 kb_max=0
for ((i = 0; i < pairs; i++)); do
  port=$((kFirstPort + i)); log=$HC_WORK/player$port.log; a=$(action_of "$i")
  n=$(e2e_count "$log" "$(reaction_re "$a")")
  total=$((total + n))
  read -r pm pl pd <<<"$(calls_of "$log" "$HC_WORK/rings$port" "$(reaction_re "$a")")"
  missing=$((missing + pm)) not_ended=$((not_ended + pl))
  [ "$pd" -gt 0 ] && deaf+="${deaf:+, }COM$port from call $pd"
  [ "$n" -gt "${sent[$i]}" ] && extra=$((extra + n - sent[$i]))
  # Messages of the other actions are reactions to nothing.
  others=$(grep -Ec 'msg WM_USER wParam=[0-9-]+ lParam=122 |msg WM_COMMAND wParam=4004[67] ' "$log")
  own=$(grep -Ec "$(reaction_re "$a")" "$log")
  [ "$a" = 40046 ] && own=$(e2e_count "$log" 'msg WM_COMMAND wParam=40046 ')
  extra=$((extra + others - own))
  [ "$a" = 40046 ] && [ "$own" -ne 1 ] && extra=$((extra + 1))
  pop=""
  if [ "$(popup_of "$i")" = 1 ]; then
    # A call without a reaction (missing, or taken as the last one's) shows
    # no popup either; it counts on its own line.
    popup_calls=$((popup_calls + n))
    read -r pa ps pu <<<"$(popups_of "$log" "$(reaction_re "$a")")"
    popups=$((popups + pa)) skipped=$((skipped + ps)) unmatched=$((unmatched + pu))
    pop=$(printf '  popups %d+%d' "$pa" "$ps")
  fi
  grep -Eq '^[0-9]+ exit code=0$' "$log" && ! grep -Eiq 'fault|unhandled' "$HC_WORK/player$port.out" ||
    unclean=$((unclean + 1))
  res=$(grep -E ' resources handles=' "$log" | sed -E 's/.*handles=([0-9]+) private_kb=([0-9]+)/\1 \2/')
  read -r h1 k1 <<<"$(echo "$res" | head -1)"
  read -r h2 k2 <<<"$(echo "$res" | tail -1)"
  hm=$(echo "$res" | awk 'm < $1 {m = $1} END {print m + 0}')
  km=$(echo "$res" | awk 'm < $2 {m = $2} END {print m + 0}')
  table+=$(printf '  COM%-3s %-6s popup %s %-18s calls %4d reactions %4d (missing %d, not ended %d)  handles %s/%s/%s  private KB %s/%s/%s' \
    "$port" "$a" "$(popup_of "$i")" "$(shaping_of "$i" | tr -d -)" "${sent[$i]}" "$n" "$pm" "$pl" "$h1" "$h2" "$hm" "$k1" "$k2" "$km")$pop$'\n'
  # The flattest and the worst: the largest growth of any player.
  if [ $((h2 - h1)) -ge $((handles_last - handles_first)) ] || [ "$i" -eq 0 ]; then
    handles_first=$h1 handles_last=$h2
  fi
  [ "$hm" -gt "$handles_max" ] && handles_max=$hm
  if [ $((k2 - k1)) -ge $((kb_last - kb_first)) ] || [ "$i" -eq 0 ]; then kb_first=$k1 kb_last=$k2; fi
  [ "$km" -gt "$kb_max" ] && kb_max=$km
done
lost=$(grep -c "$kLostText" "$HC_WORK/boxes")
clicks_lost=$(grep -c . "$HC_WORK/clicks-lost")
soak_s=$((SECONDS - started))

# --- the COM cycles ------------------------------------------------------------

cycles_rc=0 cycles_s=0 cycles_summary="none asked"
if [ "$cycles" -gt 0 ]; then
  say "$cycles COM cycles"
  cycles_start=$SECONDS
  cycles_out=$(HUSHCALL_CYCLES=$cycles bash "$root/plugin/win32/tests/run_cycles.sh" "$cycles_exe" "$HC_MODEMSIM" 2>&1)
  cycles_rc=$?
  cycles_s=$((SECONDS - cycles_start))
  cycles_summary=$(echo "$cycles_out" | grep '^cycles summary' | sed 's/^cycles summary: //')
  [ $cycles_rc -eq 0 ] || echo "$cycles_out" | grep -E 'Failure|Expected|Which is|error' | head -10
fi

ok=1
[ "$missing" -eq 0 ] && [ -z "$deaf" ] && [ "$extra" -eq 0 ] && [ "$crashed" -eq 0 ] && [ "$unclean" -eq 0 ] &&
  [ $((popups + skipped)) -eq "$popup_calls" ] && [ "$unmatched" -eq 0 ] && [ "$lost" -eq "$hangups" ] && [ $cycles_rc -eq 0 ] || ok=0

cat <<EOF

Hushcall soak under Wine ($(wine --version 2>/dev/null), $(nproc) cores, $(date -u '+%Y-%m-%d %H:%M UTC'))

Calls: $calls through $pairs players, ${stagger_ms} ms apart across ports, $period_ms ms per port
  (per player: action, popup, simulator shaping, calls, reactions, handles and private KB first/last/max,
   popups answered+calls that came while the player's popup was still up)
$table  reactions            $total  (missing $missing, extra $extra)
  calls not ended yet  $not_ended (a ring while the plug-in's previous call still ran: no new call)
  deaf ports           ${deaf:-none}
  popups answered      $popups of $popup_calls, $skipped calls while that player's popup was up, $unmatched unmatched
  lost-line boxes      $lost of $hangups hang-ups
  clicks lost           $clicks_lost (the box stayed up; its OK command was sent)
  players crashed      $crashed, not exiting cleanly $unclean
  player handles       first $handles_first last $handles_last max $handles_max (the player that grew most)
  player private KB    first $kb_first last $kb_last max $kb_max (the player that grew most)
  duration             $soak_s s

COM cycles: $cycles in one process, exit $cycles_rc, $cycles_s s
  $cycles_summary

EOF
echo "soak: $([ $ok = 1 ] && echo PASS || echo FAIL): $calls calls, $total reactions (missing $missing, not ended $not_ended, extra $extra), deaf ports: ${deaf:-none}, popups $popups+$skipped/$popup_calls (unmatched $unmatched), lost-line $lost/$hangups, crashes $crashed, unclean exits $unclean, player handles $handles_first->$handles_last (max $handles_max), private KB $kb_first->$kb_last (max $kb_max), $cycles COM cycles exit $cycles_rc, $((SECONDS - started)) s"
[ $ok = 1 ]
