#!/usr/bin/python3
"""hushcalld against a call monitor stand-in (a scripted TCP server on a free
loopback port), a fake MPRIS player and dbusmock's notification daemon, on
a session bus of its own (run under dbus-run-session):

    callmonitor_test.py HUSHCALLD FAKE_PLAYER

Missed, answered and blocked calls quiet the player and put it back at
their end, and each ring's notification names its caller; outgoing calls count only with Outgoing=1, and calls to other
numbers not at all with Numbers set, both changed by a reload that keeps
the connection. The peer is as rough as a real one: it refuses at first and
comes back, accepts and says nothing, sends 64 KiB of garbage, splits a line
into single bytes, and closes, and the service watches on through all of it.
"""
import os
import random
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../tools/callmonitorsim"))
from callmonitorsim import Monitor, line  # noqa: E402
import service_process  # noqa: E402
from service_process import check, failures, verdict  # noqa: E402

hushcalld, fake_player = sys.argv[1], sys.argv[2]
WAIT = 15.0  # seconds; generous for a loaded machine
OWN, OTHER = "987654", "555000"


def Daemon(*args):
    return service_process.Daemon(hushcalld, *args, wait=WAIT)


player_proc, notifier, control, notifications = service_process.start_peers(fake_player, WAIT)


def caller_texts():
    """The bodies of the ringing notifications so far."""
    return [str(a[4]) for _, a in notifications.GetMethodCalls("Notify") if "lost the call monitor" not in str(a[4])]


player_calls = service_process.PlayerCalls(control, WAIT)
until_calls = player_calls.until


monitor = Monitor()
with tempfile.TemporaryDirectory() as tmp:
    conf = os.path.join(tmp, "hushcall.conf")

    def write_conf(*extra):
        with open(conf, "w") as f:
            f.write("\n".join(["Sources=callmonitor", f"CallMonitor=127.0.0.1:{monitor.port}",
                               "Action=40046", "Popup=1", *extra]) + "\n")

    write_conf()
    d = Daemon("--config", conf)
    try:
        # Refused at first: told once, and tried again until it listens.
        check(d.wait_for("Hushcall lost the call monitor at 127.0.0.1:%d" % monitor.port) is not None,
              "a refused call monitor is told")
        time.sleep(1)
        monitor.listen()
        monitor.accept(WAIT)
        check(d.wait_for("is back; Hushcall watches it again") is not None, "and its return is logged")
        d.drain()
        check(sum("Hushcall lost the call monitor" in s for s in d.seen) == 1,
              "told once, however many tries were refused")

        # Accepts and says nothing: the connection stays, and a call later on works.
        time.sleep(3)
        n = 0
        monitor.send(line("RING", "0", "0301234567", OWN, "SIP0"))
        calls = until_calls(n + 1)
        check(calls[n:] == ["Pause"], f"a ring after a silence quiets the player: {calls[n:]}")
        monitor.send(line("DISCONNECT", "0", "0"))
        calls = until_calls(n + 2)
        check(calls[n:] == ["Pause", "Play"], f"a missed call is put back at its end: {calls[n:]}")
        n = len(calls)

        # Answered: quiet from the ring to the end, not put back at the answer.
        monitor.send(line("RING", "1", "", OWN, "SIP0"))  # withheld
        until_calls(n + 1)
        monitor.send(line("CONNECT", "1", "1", ""))
        time.sleep(0.5)
        check(player_calls()[n:] == ["Pause"], "an answered call stays quiet while it lasts")
        monitor.send(line("DISCONNECT", "1", "42"))
        calls = until_calls(n + 2)
        check(calls[n:] == ["Pause", "Play"], f"and is put back at its end: {calls[n:]}")
        n = len(calls)
        check(caller_texts() == ["Call from 0301234567", "Caller withheld"],
              f"each ring's notification names its caller: {caller_texts()}")

        # A blocked number: a ring, and its end within a second.
        # The pause may still be on its way at the end: the reaction then puts
        # it back as soon as it is done, or never pauses at all.
        monitor.send(line("RING", "2", "0900666", OWN, "SIP0") + line("DISCONNECT", "2", "0"))
        time.sleep(1.5)
        calls = player_calls()
        status = str(control.State()["PlaybackStatus"])
        check(calls[n:] in ([], ["Pause", "Play"]) and status == "Playing",
              f"a blocked caller's blip leaves the player playing: {calls[n:]} {status}")
        n = len(calls)

        # Outgoing off: a call made counts for nothing; the next ring does.
        monitor.send(line("CALL", "3", "4", OWN, "0301234567", "SIP0") + line("CONNECT", "3", "4", "0301234567"))
        monitor.send(line("DISCONNECT", "3", "5") + line("RING", "4", "0301", OWN, "SIP0"))
        calls = until_calls(n + 1)
        time.sleep(0.5)
        check(player_calls()[n:] == ["Pause"], f"Outgoing=0: a call made quiets nothing: {player_calls()[n:]}")
        monitor.send(line("DISCONNECT", "4", "0"))
        n = len(until_calls(n + 2))

        # Outgoing on, by a reload that keeps the connection.
        write_conf("Outgoing=1")
        d.proc.send_signal(1)
        check(d.wait_for("reload: Outgoing 0 -> 1") is not None, "a reload turns Outgoing on")
        monitor.send(line("CALL", "5", "4", OWN, "0301234567", "SIP0"))
        calls = until_calls(n + 1)
        check(calls[n:] == ["Pause"], f"Outgoing=1: a call made quiets the player: {calls[n:]}")
        monitor.send(line("CONNECT", "5", "4", "0301234567") + line("DISCONNECT", "5", "30"))
        calls = until_calls(n + 2)
        check(calls[n:] == ["Pause", "Play"], f"and puts it back at its end: {calls[n:]}")
        n = len(calls)

        # Numbers: a call to another number of the line counts for nothing.
        write_conf(f"Numbers={OWN}")
        d.proc.send_signal(1)
        check(d.wait_for("reload: Numbers (all) -> " + OWN) is not None, "a reload sets Numbers")
        monitor.send(line("RING", "6", "0301", OTHER, "SIP1") + line("RING", "7", "0302", OWN, "SIP0"))
        calls = until_calls(n + 1)
        monitor.send(line("DISCONNECT", "7", "0"))
        calls = until_calls(n + 2)
        time.sleep(0.5)
        monitor.send(line("DISCONNECT", "6", "0"))
        time.sleep(0.5)
        check(player_calls()[n:] == ["Pause", "Play"],
              f"Numbers: only the call to {OWN} quiets and puts back: {player_calls()[n:]}")
        n = len(player_calls())
        d.drain()
        check(not any("connecting anew" in s for s in d.seen), "neither reload reconnected")

        # 64 KiB of garbage, twice, then a good call; one line of log for it.
        rng = random.Random(1)
        garbage = bytes(rng.randrange(256) for _ in range(64 * 1024))
        monitor.send(garbage + b"\n" + garbage + b"\r\n;;;\n")
        monitor.send(line("RING", "8", "0301", OWN, "SIP0"))
        calls = until_calls(n + 1)
        check(calls[n:] == ["Pause"], f"a good call after 128 KiB of garbage quiets: {calls[n:]}")
        monitor.send(line("DISCONNECT", "8", "0"))
        n = len(until_calls(n + 2))
        d.drain()
        bad = [s for s in d.seen if "cannot read" in s]
        check(len(bad) == 1, f"the garbage is logged once: {bad}")

        # A line in single bytes, 5 ms apart.
        for b in line("RING", "9", "0301", OWN, "SIP0"):
            monitor.send(bytes([b]))
            time.sleep(0.005)
        calls = until_calls(n + 1)
        check(calls[n:] == ["Pause"], f"a line split into single writes is read: {calls[n:]}")
        monitor.send(line("DISCONNECT", "9", "0"))
        until_calls(n + 2)

        # The router closes: told, tried again, back, and the next call gets
        # its reaction.
        monitor.hang_up()
        check(d.wait_for("Hushcall lost the call monitor") is not None, "a closed connection is told")
        monitor.accept(WAIT)
        check(d.wait_for("is back; Hushcall watches it again") is not None, "and its return is logged")
        n = len(player_calls())
        monitor.send(line("RING", "0", "0301", OWN, "SIP0"))
        calls = until_calls(n + 1)
        check(calls[n:] == ["Pause"], f"the next call after the return quiets: {calls[n:]}")
        check(d.proc.poll() is None, "the service runs on")
    finally:
        code = d.stop()
        check(code == 0, f"SIGTERM stops it with 0: {code}")
        d.drain()
        if failures:
            print("its log:\n  " + "\n  ".join(d.seen))
        player_proc.terminate()
        notifier.terminate()

verdict("callmonitor")
