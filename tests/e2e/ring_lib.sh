# Sourced by the ring watch end-to-end tests, after lib.sh: player sessions
# one after another in one prefix, and waits on the player's own windows.
#
# Each session starts the player with fresh stored settings and an empty
# player log, so checks read only what that session did. A failed check
# prints the session's logs at once, as later sessions overwrite them.

RING_SESSION=""

# ring_session NAME PLAYER-ARGS... : the player, started on the settings
# already stored, with an empty log.
ring_session() {
  RING_SESSION=$1; shift
  echo "== session $RING_SESSION"
  : >"$HC_WORK/player.log"
  RING_MODEM_MARK=0
  [ -f "$HC_WORK/modem.log" ] && RING_MODEM_MARK=$(wc -l <"$HC_WORK/modem.log")
  e2e_player "$@"
}

# ring_started: waits for the plug-in's init to return (it returns only
# after the modem has answered or the user has answered the failure box).
ring_started() {
  e2e_wait_for "$HC_WORK/player.log" 'plugin gen_hushcall.dll init -> ' "${1:-20}"
}

# ring_quit: closes the player as the user would and waits for it to exit.
# Succeeds when it exited cleanly, with code 0 and no fault.
ring_quit() {
  hushctl player-close >/dev/null
  e2e_player_exits_cleanly 20
}

# The player's log lines of this session, without time stamps.
ring_log() { sed -E 's/^[0-9]+ //' "$HC_WORK/player.log"; }

# The simulator's transcript lines since this session began.
ring_modem_log() { tail -n +$((RING_MODEM_MARK + 1)) "$HC_WORK/modem.log" 2>/dev/null; }
ring_modem_count() { ring_modem_log | grep -Ec -- "$1" || true; }

# ring_expect DESCRIPTION COMMAND... : e2e_check that also shows the logs
# of the session on failure.
ring_expect() {
  local what=$1; shift
  if "$@"; then
    e2e_ok "$RING_SESSION: $what"
  else
    e2e_fail "$RING_SESSION: $what"
    echo "--- player log of $RING_SESSION"; cat "$HC_WORK/player.log"
    echo "--- modem transcript since $RING_SESSION began"; ring_modem_log | tail -30
  fi
}

# ring_lines REGEX: how many player log lines of this session match.
ring_lines() { ring_log | grep -Ec -- "$1" || true; }

# ring_restart_modem ARGS... : a new simulator on COM5 in place of the
# running one (the previous transcript is kept beside it).
ring_restart_modem() {
  if [ -n "${RING_MODEM_PID:-}" ]; then
    kill "$RING_MODEM_PID" 2>/dev/null
    wait "$RING_MODEM_PID" 2>/dev/null
    cat "$HC_WORK/modem.log" >>"$HC_WORK/modem-earlier.log" 2>/dev/null
  fi
  rm -f "$HC_WORK/modem.ctl" "$HC_WORK/modem.out"
  e2e_modem "$@"
  RING_MODEM_PID=${HC_PIDS[-1]}
}

# The failure box: a "#32770" window titled "Hushcall" whose text is the
# modem failure text. ring_box_handle prints its handle (waits up to MS).
ring_box_handle() { hushctl wait --class '#32770' --title "$HC_TITLE" --timeout "${1:-5000}"; }

# ring_box_again OLD-HANDLE MS: waits for a Hushcall box other than OLD.
box_other_than() { local h; h=$(ring_box_handle 500) && [ -n "$h" ] && [ "$h" != "$1" ]; }
ring_box_again() { e2e_until $(($2 / 1000)) box_other_than "$1"; }

ring_box_text() { hushctl msgbox-text --class '#32770' --title "$HC_TITLE"; }
ring_box_press() { hushctl msgbox-press --class '#32770' --title "$HC_TITLE" --button "$1" >/dev/null; }
