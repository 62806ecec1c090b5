#!/usr/bin/python3
"""How hushcalld reaches its SIP registrar, against a real kamailio (UDP,
and TLS with a throwaway CA given by HUSHCALLD_TEST_SIP_CA_FILE), a real
dnsmasq as the name server (given by HUSHCALLD_TEST_NAMESERVER) and a real
baresip caller, each on a free loopback port, with a fake MPRIS player on a
session bus of its own (run under dbus-run-session):

    sip_registrar_test.py HUSHCALLD FAKE_PLAYER

An account with no SipRegistrar registers at the registrar that its
domain's SRV record names, and a call through it rings, as it does once a
reload has changed the account; so does a sips:
account, over TLS, and one whose SipRegistrar says transport=tls; a
registrar whose certificate is for another name is refused, said once, and
tried again on the backoff.
"""
import os
import signal
import sys
import tempfile
import time

import service_process  # noqa: E402
from service_process import check, verdict  # noqa: E402
from sip_servers import DOMAIN, NameServer, Registrar, ring_and_cancel  # noqa: E402

hushcalld, fake_player = sys.argv[1], sys.argv[2]
WAIT = 15.0  # seconds; generous for a loaded machine
PASSWORD = "s3cret"
EXPIRES = 60

player_proc, notifier, control, notifications = service_process.start_peers(fake_player, WAIT)
until_calls = service_process.PlayerCalls(control, WAIT).until


def write_conf(path, lines):
    with open(path, "w") as f:
        f.write("\n".join(["Sources=sip", f"SipPasswordFile={password}", "Action=40046", *lines]) + "\n")


with tempfile.TemporaryDirectory() as tmp:
    password = os.path.join(tmp, "sip.pw")
    with open(password, "w") as f:
        f.write(PASSWORD + "\n")
    os.chmod(password, 0o600)
    registrar = Registrar(tmp, PASSWORD, EXPIRES, WAIT, tls_names=[f"DNS:{DOMAIN}", "IP:127.0.0.1"])
    check(registrar.ready, "kamailio is ready")
    # other.test's registrar is example.test's, whose certificate is not
    # for other.test.
    names = NameServer([f"--srv-host=_sip._udp.{DOMAIN},registrar.{DOMAIN},{registrar.port}",
                        f"--srv-host=_sips._tcp.{DOMAIN},registrar.{DOMAIN},{registrar.tls_port}",
                        "--local=/other.test/",
                        f"--srv-host=_sips._tcp.other.test,registrar.{DOMAIN},{registrar.tls_port}",
                        f"--host-record=registrar.{DOMAIN},127.0.0.1"], WAIT)
    check(names.ready, "dnsmasq is ready")
    env = dict(os.environ, HUSHCALLD_TEST_NAMESERVER=f"127.0.0.1:{names.port}",
               HUSHCALLD_TEST_SIP_CA_FILE=registrar.ca)
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
        ring_and_cancel(tmp, registrar, "Ann Lee", "+4930123", 0, until_calls, WAIT)

        # A reload that changes the account: the stack is stopped and
        # started anew in the same process, and the new account rings.
        write_conf(conf, [f"SipAccount=sip:607@{DOMAIN}"])
        d.proc.send_signal(signal.SIGHUP)
        check(d.wait_for("reload: SIP changed; registering anew") is not None, "a reload changes SipAccount")
        unregister = registrar.wait_for(";expires=0")
        check(unregister is not None and " user 604 " in unregister, "the old account is unregistered")
        check(d.wait_for(f"SIP account sip:607@{DOMAIN} is registered") is not None and
              registrar.wait_for("saved 607") is not None, "and the new one registered")
        ring_and_cancel(tmp, registrar, "Cy", "202", 2, until_calls, WAIT, account="607")
        check(d.stop() == 0, "it stops on SIGTERM")
        unregister = registrar.wait_for(";expires=0")
        check(unregister is not None and " user 607 " in unregister, "and unregisters on the way")

        # Over TLS, the certificate checked against the name asked for: a
        # sips: account's domain (found through SRV _sips._tcp), or
        # SipRegistrar's host.
        started = {}
        for user, lines in (("604", [f"SipAccount=sips:604@{DOMAIN}"]),
                            ("605", [f"SipAccount=sip:605@{DOMAIN}",
                                     f"SipRegistrar=127.0.0.1:{registrar.tls_port};transport=tls"]),
                            ("606", ["SipAccount=sips:606@other.test"])):
            conf = os.path.join(tmp, f"{user}.conf")
            write_conf(conf, lines)
            started[user] = service_process.Daemon(hushcalld, "--config", conf, wait=WAIT, env=env)
            daemons.append(started[user])
        check(started["604"].wait_for(f"SIP account sips:604@{DOMAIN} is registered") is not None and
              started["605"].wait_for(f"SIP account sip:605@{DOMAIN} is registered") is not None,
              "a sips: account, and one with transport=tls, register")
        saved = [registrar.wait_for(" over tls") for _ in range(2)]
        check(any("saved 604 " in str(s) for s in saved) and any("saved 605 " in str(s) for s in saved),
              f"over TLS: {saved}")
        ring_and_cancel(tmp, registrar, "Bob", "201", 4, until_calls, WAIT)

        refused = "SIP account sips:606@other.test: the registrar's certificate was refused for other.test"
        check(started["606"].wait_for(refused) is not None, "a certificate for another name is refused")
        first = time.monotonic()
        time.sleep(10)
        names.drain()
        tries = sum("query[SRV] _sips._tcp.other.test" in s for s in names.seen)
        started["606"].drain()
        told = [s for s in started["606"].seen if refused in s]
        check(len(told) == 1 and "hostname mismatch" in told[0], f"said once, and why: {told}")
        stack = [s for s in started["606"].seen if "SIP stack: " in s]
        check(len(stack) == 1 and not any("\x1b" in s for s in started["606"].seen),
              f"libre's own warning is a line of the log, without colours: {stack}")
        check(2 <= tries <= 5, f"and tried again on the backoff, not in a loop: {tries} tries in "
              f"{time.monotonic() - first:.0f} s")
    finally:
        for p in daemons:
            if p.proc.poll() is None:
                p.stop()
        names.stop()
        registrar.stop()
        player_proc.terminate()
        notifier.terminate()

verdict("sip registrar")
