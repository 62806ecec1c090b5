#!/usr/bin/env python3
"""hushcalld as a process: --check's verdicts and exit codes, a running
service's reload on SIGHUP and clean stop on SIGTERM and SIGINT, and caller
ID from modemsim against a fake player and dbusmock's notification daemon:

    hushcalld_test.py HUSHCALLD MODEMSIM FAKE_PLAYER
"""
import os
import signal
import subprocess
import sys
import tempfile
import time

import service_process
from service_process import check, failures, verdict

hushcalld, modemsim, fake_player = sys.argv[1], sys.argv[2], sys.argv[3]
WAIT = 10.0  # seconds; generous for a loaded machine


def run(*args, env=None):
    return subprocess.run([hushcalld, *args], capture_output=True, text=True, timeout=WAIT, env=env)


def Daemon(*args, env=None):
    return service_process.Daemon(hushcalld, *args, wait=WAIT, env=env)


with tempfile.TemporaryDirectory() as tmp:
    conf = os.path.join(tmp, "hushcall.conf")

    # --check
    with open(conf, "w") as f:
        f.write("# mine\nVolume=30\nSources=tty,modemmanager\nRestore=0\n")
    r = run("--check", "--config", conf)
    check(r.returncode == 0 and r.stdout == f"{conf}: clean\n", f"--check of a clean file: {r.returncode} {r.stdout!r}")
    with open(conf, "w") as f:
        f.write("Volume=300\nEnabled=yes\nRestore=no\nCallMonitor=fritz.box:0\nNumbers=1,,2\n"
                "Outgoing=yes\nSources=callmonitor,tty,callmonitor\nCallerId=on\n")
    r = run("--check", "--config", conf)
    check(r.returncode == 1 and r.stdout.count("\n") == 8 and f"{conf}:2: Enabled='yes'" in r.stdout
          and f"{conf}:3: Restore='no'" in r.stdout and f"{conf}:4: CallMonitor='fritz.box:0'" in r.stdout
          and f"{conf}:5: Numbers='1,,2'" in r.stdout and f"{conf}:6: Outgoing='yes'" in r.stdout
          and f"{conf}:7: Sources='callmonitor,tty,callmonitor'" in r.stdout
          and f"{conf}:8: CallerId='on'" in r.stdout,
          f"--check of a file with eight bad lines: {r.returncode} {r.stdout!r}")
    # The example file, every key's line taken in: clean, so it names no key
    # or value the service would refuse.
    example = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "hushcall.conf.example")
    with open(example) as f:
        taken = [l[1:] if l.startswith("#") and "=" in l and " " not in l.split("=")[0] else l
                 for l in f.read().splitlines()]
    with open(conf, "w") as f:
        f.write("\n".join(taken) + "\n")
    r = run("--check", "--config", conf)
    check(r.returncode == 0 and sum("=" in l and not l.startswith("#") for l in taken) == 23,
          f"--check of the example with all its twenty-three keys set: {r.returncode} {r.stdout!r}")
    # Through the default place: XDG_CONFIG_HOME, where nothing is yet.
    env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(tmp, "xdg"))
    r = run("--check", env=env)
    check(r.returncode == 0 and "xdg/hushcall/hushcall.conf: absent; the defaults apply" in r.stdout,
          f"--check of an absent default file: {r.returncode} {r.stdout!r}")
    r = run("--check", "--config", tmp)  # a directory
    check(r.returncode == 1 and "cannot be read" in r.stdout, f"--check of a directory: {r.returncode} {r.stdout!r}")
    r = run("--frobnicate")
    check(r.returncode == 2 and "unknown argument" in r.stderr and "Usage:" in r.stderr,
          f"an unknown argument: {r.returncode}")
    r = run("--version")
    check(r.returncode == 0 and r.stdout.startswith("hushcalld "), f"--version: {r.stdout!r}")

    # A running service: reload, a reload it cannot read, and a stop.
    for stop in (signal.SIGTERM, signal.SIGINT):
        with open(conf, "w") as f:
            f.write("Volume=40\n")
        d = Daemon("--config", conf)
        started = d.wait_for("settings:")
        check(started is not None and "Volume=40" in started, f"started with the file's settings: {started!r}")
        with open(conf, "w") as f:
            f.write("Volume=20\nDevice=/dev/ttyUSB0\n")
        d.proc.send_signal(signal.SIGHUP)
        check(d.wait_for("reload: Volume 40 -> 20") is not None, "SIGHUP reloads and logs the change")
        check(d.wait_for("restarting the ring sources") is not None, "a new Device restarts the sources")
        os.replace(conf, conf + ".away")
        os.mkdir(conf)
        d.proc.send_signal(signal.SIGHUP)
        check(d.wait_for("reload: keeping the current settings") is not None, "an unreadable file keeps the settings")
        os.rmdir(conf)
        os.replace(conf + ".away", conf)
        d.proc.send_signal(signal.SIGHUP)
        check(d.wait_for("reload: nothing changed") is not None, "and the file back changes nothing")
        code = d.stop(stop)
        check(code == 0, f"{stop.name} stops it with 0: {code}")
        if failures:
            print("its log:\n  " + "\n  ".join(d.seen))

    # CallerId=1: the ringing notification is shown, then changed in place
    # (replaces_id) to name the caller, escaped. A modem that answers
    # AT+VCID=1 with ERROR is watched as before: its ring still pauses.
    player, server, control, mock = service_process.start_peers(fake_player, WAIT)
    link = os.path.join(tmp, "modem")
    with open(conf, "w") as f:
        f.write(f"Device={link}\nCallerId=1\nPopup=1\nAction=40046\n")
    ringing = (0, "Hushcall", "The phone is ringing!")
    cases = [(["--caller", "5551234,JOHN & <DOE>"], "sends caller ID",
              [ringing, (1, "The phone is ringing!", "Call from JOHN &amp; &lt;DOE&gt; (5551234)")]),
             (["--caller", "5551234", "--vcid-answer", "error"],
              "answered ERROR to AT+VCID=1: it is watched without caller ID", [ringing])]
    for n, (extra, answer, shown) in enumerate(cases, 1):
        control.UserSetStatus("Playing", True)
        mock.ClearCalls()
        modem = subprocess.Popen([modemsim, "--link", link, "--transcript", "/dev/null", "--calls", "1",
                                  "--rings", "2", "--ring-interval-ms", "3000", "--exit-after-calls", *extra],
                                 stdout=subprocess.PIPE, text=True)
        check(modem.stdout.readline().startswith("ready"), f"modemsim {extra} is ready")
        d = Daemon("--config", conf)
        check(d.wait_for(answer) is not None, f"its answer to AT+VCID=1 is logged: {answer}")
        if n == 1:
            check(d.wait_for("caller of the call (tty 1: from 5551234 (JOHN & <DOE>))") is not None,
                  "the log names the call's source, id and caller")
        modem.wait(timeout=WAIT)  # after its second ring; the line is then lost
        time.sleep(0.5)
        sent = [(int(a[1]), str(a[3]), str(a[4])) for _, a in mock.GetMethodCalls("Notify")
                if "lost the modem" not in str(a[4])]
        pauses = [str(t) for _, t in control.Calls()].count("Pause")
        check(pauses == n and sent == shown, f"the ring pauses ({pauses}) and notifies once: {sent}")
        d.proc.terminate()
        d.proc.wait(timeout=WAIT)
    server.terminate()
    player.terminate()

verdict("hushcalld")
