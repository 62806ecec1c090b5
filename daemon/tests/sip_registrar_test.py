#!/usr/bin/python3
"""How hushcalld reaches its SIP registrar, against a real kamailio, a real
dnsmasq as the name server (given by HUSHCALLD_TEST_NAMESERVER) and a real
baresip caller, each on a free loopback port, with a fake MPRIS player on a
session bus of its own (run under dbus-run-session):

    sip_registrar_test.py HUSHCALLD FAKE_PLAYER

An account with no SipRegistrar registers at the registrar that its
domain's SRV record names, and a call through it rings.
"""
import os
import sys
import tempfile

import service_process  # noqa: E402
from service_process import check, failures  # noqa: E402
from sip_servers import DOMAIN, NameServer, Registrar, caller  # noqa: E402

hushcalld, fake_player = sys.argv[1], sys.argv[2]
WAIT = 15.0  # seconds; generous for a loaded machine
PASSWORD = "s3cret"
EXPIRES = 60

player_proc, notifier, control, notifications = service_process.start_peers(fake_player, WAIT)
until_calls = service_process.PlayerCalls(control, WAIT).until


def ring_and_cancel(registrar, name, user, calls_before):
    dialling = caller(tmp, name, user, registrar.port, f"sip:604@{DOMAIN}", WAIT)
    try:
        check(dialling.wait_for("180 Ringing") is not None, f"{name}'s baresip hears the account ring")
        check(until_calls(calls_before + 1)[calls_before:] == ["Pause"], f"{name}'s ring quiets the player")
    finally:
        dialling.stop()
    check(until_calls(calls_before + 2)[calls_before:] == ["Pause", "Play"], "the missed call puts it back")


def write_conf(path, lines):
    with open(path, "w") as f:
        f.write("\n".join(["Sources=sip", f"SipPasswordFile={password}", "Action=40046", *lines]) + "\n")


with tempfile.TemporaryDirectory() as tmp:
    password = os.path.join(tmp, "sip.pw")
    with open(password, "w") as f:
        f.write(PASSWORD + "\n")
    os.chmod(password, 0o600)
    registrar = Registrar(tmp, PASSWORD, EXPIRES, WAIT)
    check(registrar.ready, "kamailio is ready")
    names = NameServer([f"--srv-host=_sip._udp.{DOMAIN},registrar.{DOMAIN},{registrar.port}",
                        f"--host-record=registrar.{DOMAIN},127.0.0.1"], WAIT)
    check(names.ready, "dnsmasq is ready")
    env = dict(os.environ, HUSHCALLD_TEST_NAMESERVER=f"127.0.0.1:{names.port}")
    daemons = []
    try:
        # No SipRegistrar: NAPTR, then SRV for each transport, finds it.
        conf = os.path.join(tmp, "found.conf")
        write_conf(conf, [f"SipAccount=sip:604@{DOMAIN}"])
        d = service_process.Daemon(hushcalld, "--config", conf, wait=WAIT, env=env)
        daemons.append(d)
        check(d.wait_for(f"SIP account sip:604@{DOMAIN} is registered") is not None,
              "an account with no SipRegistrar registers")
        check(names.wait_for(f"query[NAPTR] {DOMAIN}") is not None and
              names.wait_for(f"query[SRV] _sip._udp.{DOMAIN}") is not None,
              "at the registrar that its domain's SRV record names")
        check(registrar.wait_for("saved 604") is not None, "kamailio has the account")
        ring_and_cancel(registrar, "Ann Lee", "+4930123", 0)
        check(d.stop() == 0, "it stops on SIGTERM")
        check(registrar.wait_for(";expires=0") is not None, "and unregisters on the way")
    finally:
        for p in daemons:
            if p.proc.poll() is None:
                p.stop()
        names.stop()
        registrar.stop()
        player_proc.terminate()
        notifier.terminate()

if failures:
    print(f"{len(failures)} failed")
    sys.exit(1)
print("all passed")
