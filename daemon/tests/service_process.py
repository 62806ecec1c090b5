"""What the process tests of hushcalld share: their verdicts, a child's
output read line by line as it comes, a running service whose log (its
stderr) is read so, and the session bus's stand-ins for its peers."""
import queue
import signal
import subprocess
import sys
import threading
import time

import dbus

failures = []


def check(cond, what):
    print(("ok   " if cond else "FAIL ") + what, flush=True)
    if not cond:
        failures.append(what)


def verdict(name):
    """The count of failed checks, and the exit that tells the test's runner."""
    print(f"{name}: {len(failures)} failures")
    sys.exit(1 if failures else 0)


class Lines:
    """A child's output, read line by line on a thread as it comes."""

    def __init__(self, stream, wait):
        self.wait = wait
        self.lines = queue.Queue()
        self.seen = []
        threading.Thread(target=self._read, args=(stream,), daemon=True).start()

    def _read(self, stream):
        for text in stream:
            self.lines.put(text.rstrip("\n"))

    def wait_for(self, text, wait=None):
        """The first line from now on that contains `text`, or None."""
        end = time.monotonic() + (self.wait if wait is None else wait)
        while time.monotonic() < end:
            try:
                got = self.lines.get(timeout=max(0.0, end - time.monotonic()))
            except queue.Empty:
                break
            self.seen.append(got)
            if text in got:
                return got
        return None

    def drain(self):
        """Every line that came so far, into `seen`."""
        while True:
            try:
                self.seen.append(self.lines.get_nowait())
            except queue.Empty:
                return


class Child(Lines):
    """A child process (`proc`) whose output (`stream`) is read so."""

    def __init__(self, proc, stream, wait):
        self.proc = proc
        super().__init__(stream, wait)

    def stop(self, sig=signal.SIGTERM):
        """Its exit code once `sig` has stopped it, or "hung" (then killed)."""
        self.proc.send_signal(sig)
        try:
            return self.proc.wait(timeout=self.wait)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            return "hung"


class Daemon(Child):
    def __init__(self, hushcalld, *args, wait, env=None):
        proc = subprocess.Popen([hushcalld, *args], stderr=subprocess.PIPE, text=True, env=env)
        super().__init__(proc, proc.stderr, wait)


class PlayerCalls:
    """The fake player's Pause and Play calls, in order: now, or once
    there are `count` of them (or what came within the wait)."""

    def __init__(self, control, wait):
        self.control = control
        self.wait = wait

    def __call__(self):
        return [str(text) for _, text in self.control.Calls() if str(text) in ("Pause", "Play")]

    def until(self, count):
        end = time.monotonic() + self.wait
        while time.monotonic() < end:
            calls = self()
            if len(calls) >= count:
                return calls
            time.sleep(0.05)
        return self()


def start_peers(fake_player, wait):
    """The fake MPRIS player (ready to obey) and dbusmock's notification
    daemon on the session bus: their processes, the player's test control
    and the daemon's mock interface."""
    player = subprocess.Popen([sys.executable, fake_player, "fake", "obey"], stdout=subprocess.PIPE, text=True)
    notifier = subprocess.Popen([sys.executable, "-m", "dbusmock", "--template", "notification_daemon"],
                                stdout=subprocess.DEVNULL)
    check(player.stdout.readline().strip() == "ready", "the fake player is on the bus")
    bus = dbus.SessionBus()
    end = time.monotonic() + wait
    while not bus.name_has_owner("org.freedesktop.Notifications") and time.monotonic() < end:
        time.sleep(0.05)
    control = dbus.Interface(bus.get_object("org.mpris.MediaPlayer2.fake", "/org/hushcall/Test"), "org.hushcall.Test")
    mock = dbus.Interface(bus.get_object("org.freedesktop.Notifications", "/org/freedesktop/Notifications"),
                          "org.freedesktop.DBus.Mock")
    return player, notifier, control, mock
