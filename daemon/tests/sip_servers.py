"""Real SIP software for the SIP tests, each started on loopback by the
test and never as a system service: kamailio as the registrar and proxy
(registrations in memory, one password for every account, each request
and reply logged on its stderr), and baresip as a caller that dials
through it and cancels when stopped, or as another phone on the account
that answers.""" 
import json
import os
import shutil
import signal
import socket
import subprocess
import wave

from service_process import Child, check

DOMAIN = "example.test"
KAMAILIO_MODULES = "/usr/lib/x86_64-linux-gnu/kamailio/modules/"
KAMAILIO_TABLES = "/usr/share/kamailio/dbtext/kamailio"
BARESIP_MODULES = "/usr/lib/baresip/modules"


def free_udp_port():
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


KAMAILIO_CFG = """#!KAMAILIO
debug=2
log_stderror=yes
children=1
auto_aliases=no
listen=udp:127.0.0.1:{port}
#!ifdef WITH_TLS
# TLS with the test's throwaway certificate; a phone registered over it is
# reached over its own connection (received_avp), never a new one.
enable_tls=yes
tcp_children=1
listen=tls:127.0.0.1:{tls_port}
#!else
disable_tcp=yes
#!endif
alias="{domain}"
mpath="{modules}"
loadmodule "tm.so"
loadmodule "sl.so"
loadmodule "pv.so"
loadmodule "maxfwd.so"
loadmodule "textops.so"
loadmodule "siputils.so"
loadmodule "usrloc.so"
loadmodule "registrar.so"
loadmodule "auth.so"
loadmodule "xlog.so"
loadmodule "rr.so"
#!ifdef WITH_TLS
loadmodule "tls.so"
loadmodule "nathelper.so"
modparam("tls", "private_key", "{folder}/server.key")
modparam("tls", "certificate", "{folder}/server.pem")
modparam("tls", "verify_certificate", 0)
modparam("tls", "require_certificate", 0)
# Its TLS 1.3 handshakes fail with OpenSSL 3 ("no suitable signature algorithm").
modparam("tls", "tls_method", "TLSv1.2")
modparam("nathelper|registrar", "received_avp", "$avp(RECEIVED)")
#!endif
#!ifdef WITH_DIALOG_EVENTS
# The dialog event package: the dialogs that pass through are published to
# the presence server here, which tells the account's subscribers.
loadmodule "db_text.so"
loadmodule "dialog.so"
loadmodule "presence.so"
loadmodule "presence_dialoginfo.so"
loadmodule "pua.so"
loadmodule "pua_dialoginfo.so"
modparam("presence", "db_url", "text://{db}")
modparam("pua", "db_url", "text://{db}")
modparam("presence", "server_address", "sip:127.0.0.1:{port}")
modparam("pua", "outbound_proxy", "sip:127.0.0.1:{port}")
#!endif
# Registrations live in memory alone: a restart forgets them.
modparam("usrloc", "db_mode", 0)
modparam("registrar", "max_expires", {expires})
modparam("registrar", "min_expires", 1)

event_route[core:worker-one-init] {{
  xlog("L_NOTICE", "registrar ready\\n");
}}

request_route {{
  xlog("L_NOTICE", "request $rm from $si:$sp user $fU to $tU contact $hdr(Contact)\\n");
  if (!mf_process_maxfwd_header("10")) {{ sl_send_reply("483", "Too Many Hops"); exit; }}
  if (is_method("CANCEL")) {{ if (t_check_trans()) t_relay(); exit; }}
  if (is_method("SUBSCRIBE|PUBLISH")) {{
#!ifdef WITH_DIALOG_EVENTS
    if (!t_newtran()) {{ sl_reply_error(); exit; }}
    if (is_method("PUBLISH")) handle_publish(); else handle_subscribe();
    t_release();
#!else
    sl_send_reply("489", "Bad Event");
#!endif
    exit;
  }}
  if (has_totag()) {{
    if (loose_route()) {{ t_relay(); exit; }}
    if (is_method("ACK")) {{ if (t_check_trans()) t_relay(); exit; }}
    sl_send_reply("404", "Not here"); exit;
  }}
  if (is_method("REGISTER")) {{
    if (!pv_www_authenticate("$td", "{password}", "0")) {{ www_challenge("$td", "0"); exit; }}
#!ifdef WITH_TLS
    if (proto == TLS) fix_nated_register();
#!endif
    if (save("location")) xlog("L_NOTICE", "saved $tU over $pr\\n");
    exit;
  }}
  if (is_present_hf("Route")) loose_route();
  if (is_method("INVITE")) {{
#!ifdef WITH_DIALOG_EVENTS
    dlg_manage();
#!endif
    record_route();
  }}
  if (!lookup("location")) {{ sl_send_reply("404", "Not Found"); exit; }}
  t_on_reply("REPLY");
  t_relay();
}}

onreply_route[REPLY] {{
  xlog("L_NOTICE", "reply $rs $rr from $si:$sp\\n");
}}
"""


def make_certificates(folder, names):
    """A throwaway CA (ca.pem) and a server certificate that it signed for
    `names` (server.pem, server.key; "DNS:..." or "IP:..."), made by
    openssl in `folder`."""
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "san.ext"), "w") as f:
        f.write("subjectAltName=" + ",".join(names) + "\n")
    key = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
    for args in (["req", "-x509", *key, "-keyout", "ca.key", "-out", "ca.pem", "-days", "1",
                  "-subj", "/CN=HushcallTestCA"],
                 ["req", *key, "-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=" + names[0].split(":")[1]],
                 ["x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                  "-CAcreateserial", "-out", "server.pem", "-days", "1", "-extfile", "san.ext"]):
        subprocess.run(["openssl", *args], cwd=folder, check=True, capture_output=True)
    return os.path.join(folder, "ca.pem")


def kamailio_args(folder, port, password, expires, dialog_events, tls_port=None):
    """kamailio's command line, its configuration and tables written to
    `folder`; with `tls_port`, TLS there too, with the certificate that
    make_certificates left in `folder`."""
    db = os.path.join(folder, "db")
    os.makedirs(db, exist_ok=True)
    for table in ("version", "presentity", "active_watchers", "watchers", "xcap", "pua"):
        shutil.copy(os.path.join(KAMAILIO_TABLES, table), db)
    cfg = os.path.join(folder, "kamailio.cfg")
    with open(cfg, "w") as f:
        f.write(KAMAILIO_CFG.format(port=port, domain=DOMAIN, modules=KAMAILIO_MODULES,
                                    expires=expires, password=password, db=db, tls_port=tls_port,
                                    folder=folder))
    defines = ["-A", "WITH_DIALOG_EVENTS"] if dialog_events else []
    defines += ["-A", "WITH_TLS"] if tls_port else []
    return ["kamailio", "-f", cfg, *defines, "-DD", "-E", "-m", "32", "-M", "8", "-Y", folder]


def baresip_args(folder, name, user, registrar_port, params, commands=(), control_port=None):
    """baresip's command line, its configuration written to `folder`."""
    os.makedirs(folder, exist_ok=True)
    # What it says once a call is answered: 30 s of 8 kHz silence, for the
    # G.711 that it speaks; it hangs up when the file ends.
    silence = os.path.join(folder, "silence.wav")
    with wave.open(silence, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(8000)
        w.writeframes(bytes(2 * 8000 * 30))
    with open(os.path.join(folder, "config"), "w") as f:
        f.write(f"sip_listen 127.0.0.1:{free_udp_port()}\nmodule_path {BARESIP_MODULES}\n"
                "module account.so\nmodule menu.so\nmodule g711.so\nmodule aufile.so\n"
                f"audio_player aufile,/dev/null\naudio_source aufile,{silence}\n"
                "audio_alert aufile,/dev/null\n")
        if control_port:
            f.write(f"module_app ctrl_tcp.so\nctrl_tcp_listen 127.0.0.1:{control_port}\n")
    with open(os.path.join(folder, "accounts"), "w") as f:
        f.write(f'"{name}" <sip:{user}@{DOMAIN}>;outbound="sip:127.0.0.1:{registrar_port}";'
                f"{params}\n")
    return ["baresip", "-f", folder, *[a for command in commands for a in ("-e", command)]]


class Registrar(Child):
    """kamailio on `port` (a free one unless given), its log read as it
    comes; with `dialog_events`, the account's dialog events for whoever
    subscribes, else SUBSCRIBE is answered 489 Bad Event."""

    def __init__(self, tmp, password, expires, wait, port=None, dialog_events=False, tls_names=()):
        self.port = port or free_udp_port()
        self.dir = os.path.join(tmp, f"kamailio-{self.port}")
        # With `tls_names`, TLS too, on tls_port, its certificate for those
        # names signed by the CA in `ca`.
        self.tls_port = free_udp_port() if tls_names else None
        self.ca = make_certificates(self.dir, tls_names) if tls_names else None
        args = kamailio_args(self.dir, self.port, password, expires, dialog_events, self.tls_port)
        proc = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        super().__init__(proc, proc.stderr, wait)
        self.ready = self.wait_for("registrar ready") is not None


class Baresip(Child):
    """baresip with one account (an accounts-file line whose address is
    "NAME" <sip:USER@DOMAIN>), through the registrar at `registrar_port`;
    `commands` run at its start. With `controlled`, it takes commands on
    ctrl_tcp too, one dial after another without a restart."""

    def __init__(self, tmp, name, user, registrar_port, wait, params="regint=0", commands=(),
                 controlled=False):
        self.dir = os.path.join(tmp, f"baresip-{user}-{free_udp_port()}")
        self.control_port = free_udp_port()  # free for TCP too, on loopback
        args = baresip_args(self.dir, name, user, registrar_port, params, commands,
                            self.control_port if controlled else None)
        proc = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        super().__init__(proc, proc.stdout, wait)
        self.control = None
        if controlled and self.wait_for("baresip is ready") is not None:
            self.control = socket.create_connection(("127.0.0.1", self.control_port), timeout=wait)

    def command(self, name, params=""):
        """One command on ctrl_tcp, as a netstring of JSON."""
        text = json.dumps({"command": name, "params": params, "token": name}).encode()
        self.control.sendall(str(len(text)).encode() + b":" + text + b",")

    def stop(self):
        """Stops it: a call still ringing is cancelled on the way, one
        answered hung up."""
        if self.control is not None:
            self.control.close()
        return super().stop()


class NameServer(Child):
    """dnsmasq on a free loopback port, answering for DOMAIN alone from
    `records` (its --srv-host=... and --host-record=... options), each
    query logged on its stderr."""

    def __init__(self, records, wait):
        self.port = free_udp_port()
        args = ["dnsmasq", "--no-daemon", "--no-resolv", "--no-hosts", f"--port={self.port}",
                "--listen-address=127.0.0.1", "--bind-interfaces", "--log-queries", "--log-facility=-",
                f"--local=/{DOMAIN}/", *records]
        proc = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        super().__init__(proc, proc.stderr, wait)
        self.ready = self.wait_for("cleared cache") is not None


def caller(tmp, name, user, registrar_port, to, wait):
    """A caller dialling `to` at once, unregistered."""
    return Baresip(tmp, name, user, registrar_port, wait, commands=[f"/dial {to}"])


def ring_and_cancel(tmp, registrar, name, user, calls_before, until_calls, wait, account="604"):
    """`name` (sip:USER) rings the account through `registrar` and hangs
    up unanswered: the ring quiets the player, the CANCEL ends the INVITE
    with 487, and the missed call puts the player back. `until_calls` is
    the player's PlayerCalls.until, `calls_before` its count so far."""
    dialling = caller(tmp, name, user, registrar.port, f"sip:{account}@{DOMAIN}", wait)
    try:
        check(dialling.wait_for("180 Ringing") is not None, f"{name}'s baresip hears the account ring")
        check(until_calls(calls_before + 1)[calls_before:] == ["Pause"], f"{name}'s ring quiets the player")
    finally:
        dialling.stop()
    check(registrar.wait_for("reply 487 Request Terminated") is not None,
          "the caller's CANCEL ends the INVITE with 487")
    check(until_calls(calls_before + 2)[calls_before:] == ["Pause", "Play"], "the missed call puts it back")


def other_phone(tmp, user, password, registrar_port, wait):
    """Another phone on the account `user`, answering every call at once."""
    return Baresip(tmp, "Desk phone", user, registrar_port, wait,
                   params=f"auth_pass={password};regint=60;answermode=auto")


if __name__ == "__main__":
    # For scripts/run_linux.sh: becomes kamailio or baresip as the tests run
    # them.
    #   sip_servers.py kamailio FOLDER PORT PASSWORD EXPIRES
    #   sip_servers.py baresip FOLDER NAME USER REGISTRAR_PORT PARAMS [COMMAND...]
    import sys
    what, rest = sys.argv[1], sys.argv[2:]
    if what == "kamailio":
        args = kamailio_args(rest[0], int(rest[1]), rest[2], int(rest[3]), dialog_events=True)
    else:
        args = baresip_args(rest[0], rest[1], rest[2], int(rest[3]), rest[4], rest[5:])
    os.execvp(args[0], args)
