#!/usr/bin/python3
"""hushcalld with CallerId=1 against modemsim, a fake MPRIS player and
python-dbusmock's notification daemon, on a session bus of its own (run
under dbus-run-session):

    callerid_test.py HUSHCALLD MODEMSIM FAKE_PLAYER

A modem that sends the caller after the first ring: the ringing
notification is shown, then changed in place (replaces_id) to name the
caller, and never shown twice. A modem that answers AT+VCID=1 with ERROR:
said once, and its rings still quiet the player.
"""
import os
import queue
import subprocess
import sys
import tempfile
import threading
import time

import dbus

hushcalld, modemsim, fake_player = sys.argv[1], sys.argv[2], sys.argv[3]
failures = []
WAIT = 15.0  # seconds; generous for a loaded machine
NOTIFICATIONS = "org.freedesktop.Notifications"


def check(cond, what):
    print(("ok   " if cond else "FAIL ") + what, flush=True)
    if not cond:
        failures.append(what)


class Process:
    """A child whose standard error is read line by line."""

    def __init__(self, *args):
        self.proc = subprocess.Popen(list(args), stderr=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stdin=subprocess.DEVNULL, text=True)
        self.lines = queue.Queue()
        self.seen = []
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for text in self.proc.stderr:
            self.lines.put(text.rstrip("\n"))

    def wait_for(self, text, wait=WAIT):
        end = time.monotonic() + wait
        while time.monotonic() < end:
            try:
                got = self.lines.get(timeout=end - time.monotonic())
            except queue.Empty:
                break
            self.seen.append(got)
            if text in got:
                return got
        return None

    def stop(self):
        self.proc.terminate()
        try:
            self.proc.wait(timeout=WAIT)
        except subprocess.TimeoutExpired:
            self.proc.kill()


def until(predicate):
    end = time.monotonic() + WAIT
    while time.monotonic() < end:
        if predicate():
            return True
        time.sleep(0.05)
    return predicate()


player = subprocess.Popen([sys.executable, fake_player, "fake", "obey"], stdout=subprocess.PIPE, text=True)
check(player.stdout.readline().strip() == "ready", "the fake player is on the bus")
server = subprocess.Popen([sys.executable, "-m", "dbusmock", "--template", "notification_daemon",
                           "-l", "/dev/null"], stdout=subprocess.DEVNULL)
bus = dbus.SessionBus()
check(until(lambda: bus.name_has_owner(NOTIFICATIONS)), "the notification daemon is on the bus")
control = dbus.Interface(bus.get_object("org.mpris.MediaPlayer2.fake", "/org/hushcall/Test"),
                         "org.hushcall.Test")
mock = dbus.Interface(bus.get_object(NOTIFICATIONS, "/org/freedesktop/Notifications"),
                      "org.freedesktop.DBus.Mock")


def pauses():
    return [str(text) for _, text in control.Calls()].count("Pause")


def notifications():
    """(replaces_id, summary, body) of each Notify, in order."""
    return [(int(args[1]), str(args[3]), str(args[4])) for _, args in mock.GetMethodCalls("Notify")]


with tempfile.TemporaryDirectory() as tmp:
    conf = os.path.join(tmp, "hushcall.conf")
    link = os.path.join(tmp, "modem")
    with open(conf, "w") as f:
        f.write(f"Sources=tty\nDevice={link}\nCallerId=1\nPopup=1\nAction=40046\n")

    def run(what, *modem_args):
        modem = Process(modemsim, "--link", link, "--calls", "1", "--rings", "2",
                        "--ring-interval-ms", "4000", *modem_args)
        check(modem.proc.stdout.readline().startswith("ready"), f"{what}: the simulator is ready")
        d = Process(hushcalld, "--config", conf)
        return modem, d

    # A caller's number and name after the first ring.
    modem, d = run("caller ID", "--caller", "5551234,JOHN & <DOE>")
    try:
        check(d.wait_for("sends caller ID") is not None, "the modem takes AT+VCID=1")
        check(until(lambda: pauses() == 1), "the first ring pauses the player")
        check(d.wait_for("caller of the call (tty 1: from 5551234 (JOHN & <DOE>))") is not None,
              "the log names the call's source, id and caller")
        check(until(lambda: len(notifications()) >= 2), "the caller changes the notification")
        check(modem.wait_for("call 1 ring 2/2") is not None, "the second ring comes")
        time.sleep(1)
        sent = notifications()
        check(len(sent) == 2 and sent[0] == (0, "Hushcall", "The phone is ringing!")
              and sent[1] == (1, "The phone is ringing!", "Call from JOHN &amp; &lt;DOE&gt; (5551234)"),
              f"shown once, then replaced in place by the id the server gave: {sent}")
    finally:
        d.stop()
        modem.stop()
        if failures:
            print("its log:\n  " + "\n  ".join(d.seen + modem.seen))

    # A modem without caller ID.
    control.UserSetStatus("Playing", True)
    mock.ClearCalls()
    modem, d = run("no caller ID", "--caller", "5551234", "--vcid-answer", "error")
    try:
        check(d.wait_for("answered ERROR to AT+VCID=1: it is watched without caller ID") is not None,
              "ERROR to AT+VCID=1 is logged")
        check(until(lambda: pauses() == 2), "its ring still pauses the player")
        check(modem.wait_for("call 1 ring 2/2") is not None, "the second ring comes")
        time.sleep(1)
        check(sum("AT+VCID" in line for line in d.seen) == 1, "and the ERROR is said once")
        check(notifications() == [(0, "Hushcall", "The phone is ringing!")],
              f"the notification is today's, shown once: {notifications()}")
    finally:
        d.stop()
        modem.stop()
        if failures:
            print("its log:\n  " + "\n  ".join(d.seen + modem.seen))

server.terminate()
player.terminate()
print(f"callerid: {len(failures)} failures")
sys.exit(1 if failures else 0)
