#!/usr/bin/python3
"""hushcalld as a silent extra phone on a SIP account, against a real
kamailio (registrations in memory, on a free loopback port) and real
baresip callers, a fake MPRIS player and dbusmock's notification daemon,
on a session bus of its own (run under dbus-run-session):

    sip_test.py HUSHCALLD FAKE_PLAYER

A ring quiets the player and a missed call (the caller's CANCEL) puts it
back, the notification naming the caller or saying it is withheld; a
stranger's INVITE gets 403 and no reaction; a call that another phone on
the account takes is kept quiet (its end unknown) where the registrar has
no dialog events, and put back at its hang-up where it has; a restarted
registrar has the account again and its next call works, as has one that
was gone for a while; a wrong password is said once and not retried within
30 s; 200 calls in a row are each quieted and put back, with no growth in
descriptors or memory; and a stop unregisters.
"""
import os
import re
import socket
import sys
import tempfile
import time

import service_process  # noqa: E402
import sip_servers  # noqa: E402
from service_process import check, verdict  # noqa: E402
from sip_servers import DOMAIN, Baresip, Registrar, caller, other_phone  # noqa: E402

hushcalld, fake_player = sys.argv[1], sys.argv[2]
WAIT = 15.0  # seconds; generous for a loaded machine
PASSWORD = "s3cret"
EXPIRES = 10  # what the registrar grants: a restart is noticed at the refresh

player_proc, notifier, control, notifications = service_process.start_peers(fake_player, WAIT)


player_calls = service_process.PlayerCalls(control, WAIT)
until_calls = player_calls.until


def caller_texts():
    return [str(a[4]) for _, a in notifications.GetMethodCalls("Notify") if str(a[4]).startswith("Call")]


def registers(log, user):
    log.drain()
    return sum(f"request REGISTER from" in s and f" user {user} " in s for s in log.seen)


def ring_and_cancel(name, user, calls_before):
    sip_servers.ring_and_cancel(tmp, registrar, name, user, calls_before, until_calls, WAIT)


def taken_by_desk_phone(name, user, calls_before, dialog_events):
    """A desk phone on the same account answers `name`'s call: kamailio
    cancels this one's ringing with Reason: SIP;cause=200. With dialog
    events the caller's hang-up puts the music back; without them the
    call's end is not known, the music is left quiet and the log says why."""
    desk = other_phone(tmp, "604", PASSWORD, registrar.port, WAIT)
    try:
        check(desk.wait_for("200 OK") is not None, "a desk phone registers on the account too")
        dialling = caller(tmp, name, user, registrar.port, f"sip:604@{DOMAIN}", WAIT)
        try:
            check(until_calls(calls_before + 1)[calls_before:] == ["Pause"], f"{name}'s ring quiets the player")
            if dialog_events:
                check(d.wait_for("was taken by another phone; its end comes from the account's dialog "
                                 "events") is not None, "the desk phone takes the call")
                time.sleep(1.5)
                check(len(player_calls()) == calls_before + 1, f"and the music stays quiet: {player_calls()}")
            else:
                check(d.wait_for("was taken by another phone; its end is not known") is not None,
                      "the desk phone takes the call, and the log says its end is not known")
                check(d.wait_for("the players stay as they are, since how a call went is not known")
                      is not None, "the call counts as over soon, the players left as they are")
                time.sleep(0.5)
                check(len(player_calls()) == calls_before + 1, f"and not put back: {player_calls()}")
                control.UserSetStatus("Playing", True)
        finally:
            dialling.stop()  # the caller hangs up
        if dialog_events:
            check(until_calls(calls_before + 2)[calls_before:] == ["Pause", "Play"],
                  "the hang-up, told by the dialog events, puts the music back")
    finally:
        desk.stop()


with tempfile.TemporaryDirectory() as tmp:
    registrar = Registrar(tmp, PASSWORD, EXPIRES, WAIT)
    check(registrar.ready, "kamailio is ready")
    password = os.path.join(tmp, "sip.pw")
    wrong_password = os.path.join(tmp, "wrong.pw")
    for path, text in ((password, PASSWORD), (wrong_password, "not-it")):
        with open(path, "w") as f:
            f.write(text + "\n")
        os.chmod(path, 0o600)
    conf = os.path.join(tmp, "hushcall.conf")
    wrong_conf = os.path.join(tmp, "wrong.conf")
    for path, user, secret in ((conf, "604", password), (wrong_conf, "605", wrong_password)):
        with open(path, "w") as f:
            f.write("\n".join(["Sources=sip", f"SipAccount=sip:{user}@{DOMAIN}",
                               f"SipRegistrar=127.0.0.1:{registrar.port}", f"SipPasswordFile={secret}",
                               "Action=40046", "Popup=1"]) + "\n")

    # A password file that others may read is refused, as MQTT's is.
    os.chmod(password, 0o644)
    r = service_process.subprocess.run([hushcalld, "--check", "--config", conf], capture_output=True, text=True)
    check(r.returncode == 1 and f"SipPasswordFile {password} is open to group or others (mode 0644)" in r.stdout,
          f"--check refuses a password file others may read: {r.stdout!r}")
    os.chmod(password, 0o600)

    d = service_process.Daemon(hushcalld, "--config", conf, wait=WAIT)
    wrong = service_process.Daemon(hushcalld, "--config", wrong_conf, wait=WAIT)
    wrong_started = time.monotonic()
    try:
        check(d.wait_for(f"SIP account sip:604@{DOMAIN} is registered (for {EXPIRES} s") is not None,
              "it registers with the registrar's expiry")
        saved = registrar.wait_for("saved 604")
        check(saved is not None, "kamailio has the account")
        registrar.drain()
        contact = next((re.search(r"contact <sip:604@127\.0\.0\.1:(\d+)>", s) for s in registrar.seen
                        if " user 604 " in s and "contact <sip:604@" in s), None)
        check(contact is not None, "its contact is on loopback")
        contact_port = int(contact.group(1)) if contact else 0

        check(d.wait_for("no dialog events for the account (the phone system answered 489 Bad Event)")
              is not None, "a phone system without dialog events is logged")
        ring_and_cancel("Ann Lee", "+4930123", 0)
        ring_and_cancel("Anonymous", "anonymous", 2)
        check(caller_texts() == ["Call from Ann Lee (+4930123)", "Caller withheld"],
              f"the notifications name the caller, or say it is withheld: {caller_texts()}")

        # A stranger on the LAN: 403, logged, and the music left alone.
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as stranger:
            stranger.bind(("127.0.0.2", 0))
            stranger.settimeout(WAIT)
            port = stranger.getsockname()[1]
            stranger.sendto((f"INVITE sip:604@127.0.0.1:{contact_port} SIP/2.0\r\n"
                             f"Via: SIP/2.0/UDP 127.0.0.2:{port};branch=z9hG4bKstray1;rport\r\n"
                             "Max-Forwards: 70\r\n"
                             "From: \"Mallory\" <sip:666@127.0.0.2>;tag=s1\r\n"
                             f"To: <sip:604@{DOMAIN}>\r\nCall-ID: stray1@127.0.0.2\r\nCSeq: 1 INVITE\r\n"
                             f"Contact: <sip:666@127.0.0.2:{port}>\r\nContent-Length: 0\r\n\r\n").encode(),
                            ("127.0.0.1", contact_port))
            try:
                answer = stranger.recv(4096).decode(errors="replace")
            except socket.timeout:
                answer = ""
        check(answer.startswith("SIP/2.0 403"), f"a stranger's INVITE is answered 403: {answer[:40]!r}")
        check(d.wait_for("SIP: refused 1 request from elsewhere than the registrar (403), the last "
                         "from 127.0.0.2") is not None, "and logged")
        time.sleep(0.5)
        check(len(player_calls()) == 4, "and the player is left alone")

        taken_by_desk_phone("Carol", "202", 4, dialog_events=False)

        # The registrar restarts and forgets, now with dialog events: the
        # refresh registers again and subscribes to them.
        registrar.stop()
        before_restart = registers(registrar, "605")
        registrar = Registrar(tmp, PASSWORD, EXPIRES, WAIT, port=registrar.port, dialog_events=True)
        check(registrar.ready, "kamailio is ready again")
        check(registrar.wait_for("saved 604", wait=3 * EXPIRES) is not None,
              "the account is registered again after the registrar's restart")
        check(d.wait_for("the account's dialog events are heard") is not None,
              "and its dialog events are subscribed to")
        ring_and_cancel("Bob", "201", 5)
        taken_by_desk_phone("Dave", "203", 7, dialog_events=True)

        # A wrong password: said once, and not tried again within 30 s.
        time.sleep(max(0.0, wrong_started + 30 - time.monotonic()))
        wrong.drain()
        text = f"Hushcall could not sign in to SIP account 605@{DOMAIN}: wrong user or password."
        told = [str(a[4]) for _, a in notifications.GetMethodCalls("Notify") if str(a[4]) == text]
        logged = [s for s in wrong.seen if s.startswith(text)]
        check(len(told) == 1 and len(logged) == 1, f"a wrong password is told once: {told} {logged}")
        tries = before_restart + registers(registrar, "605")
        check(tries == 2, f"and is not retried within 30 s: {tries} REGISTERs (the first, and the answer "
              "to the challenge)")

        # 100 calls one after another, twice: each quiets and is put back,
        # and the second hundred leave the service with no more descriptors
        # or memory than the first. libre keeps each finished INVITE
        # transaction 32 s (64 T1) for retransmissions, so the second
        # hundred starts once the first's are gone.
        eve = Baresip(tmp, "Eve", "204", registrar.port, WAIT, controlled=True)
        try:
            def hundred_calls(before):
                for i in range(100):
                    eve.command("dial", f"sip:604@{DOMAIN}")
                    if eve.wait_for("180 Ringing") is None or \
                            len(until_calls(before + 2 * i + 1)) < before + 2 * i + 1:
                        return i
                    eve.command("hangup")
                    if len(until_calls(before + 2 * i + 2)) < before + 2 * i + 2:
                        return i
                return 100

            def resources():
                with open(f"/proc/{d.proc.pid}/status") as f:
                    rss = next(int(l.split()[1]) for l in f if l.startswith("VmRSS:"))
                return len(os.listdir(f"/proc/{d.proc.pid}/fd")), rss

            check(eve.control is not None and hundred_calls(9) == 100, "100 calls one after another")
            fds, rss = resources()
            time.sleep(33)
            check(hundred_calls(209) == 100, "and 100 more")
            check(player_calls()[9:] == ["Pause", "Play"] * 200,
                  f"each quiets and is put back: {len(player_calls()) - 9} calls to the player")
            fds_after, rss_after = resources()
            check(fds_after == fds and rss_after - rss < 512,
                  f"no growth: {fds} -> {fds_after} descriptors, {rss} -> {rss_after} KiB resident")
        finally:
            eve.stop()

        # The registrar gone longer than a refresh: the refresh times out
        # (32 s), and the account is registered again once it is back.
        registrar.stop()
        check(d.wait_for("the registrar did not answer", wait=EXPIRES + 40) is not None,
              "a registrar that is gone is noticed at the refresh")
        registrar = Registrar(tmp, PASSWORD, EXPIRES, WAIT, port=registrar.port, dialog_events=True)
        check(d.wait_for(f"SIP account sip:604@{DOMAIN} is registered again") is not None,
              "and the account is registered again when it is back")
        ring_and_cancel("Fay", "205", 409)

        # A stop unregisters.
        check(d.stop() == 0, "it stops on SIGTERM")
        unregister = registrar.wait_for(";expires=0")
        check(unregister is not None and " user 604 " in unregister, "and unregisters on the way")
    finally:
        for p in (d, wrong):
            if p.proc.poll() is None:
                p.stop()
        registrar.stop()
        player_proc.terminate()
        notifier.terminate()

verdict("sip")
