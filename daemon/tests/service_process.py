"""What the process tests of hushcalld share: their verdicts, and a running
service whose log (its stderr) is read line by line as it comes."""
import queue
import subprocess
import threading
import time

failures = []


def check(cond, what):
    print(("ok   " if cond else "FAIL ") + what, flush=True)
    if not cond:
        failures.append(what)


class Daemon:
    def __init__(self, hushcalld, *args, wait, env=None):
        self.proc = subprocess.Popen([hushcalld, *args], stderr=subprocess.PIPE, text=True, env=env)
        self.wait = wait
        self.lines = queue.Queue()
        self.seen = []
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for text in self.proc.stderr:
            self.lines.put(text.rstrip("\n"))

    def wait_for(self, text, wait=None):
        """The first line from now on that contains `text`, or None."""
        end = time.monotonic() + (self.wait if wait is None else wait)
        while time.monotonic() < end:
            try:
                got = self.lines.get(timeout=end - time.monotonic())
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
