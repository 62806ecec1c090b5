#!/usr/bin/python3
"""The SIP caller of bench/linux.sh: one UDP socket that sends INVITEs
through the registrar, cancels them, and stamps each send in a transcript
as the other measures' stand-ins do; and the floor's registration.

    sip_caller.py register REGISTRAR_PORT USER PASSWORD CONTACT_PORT
    sip_caller.py call REGISTRAR_PORT CONTROL_FIFO TRANSCRIPT

`register` signs USER in (digest, as the test registrar asks) with the
contact 127.0.0.1:CONTACT_PORT for an hour, then lets the port go for the
floor to take. `call` reads commands from CONTROL_FIFO, a line each:
"call USER" sends an INVITE to USER@example.test ("<unix us> tx INVITE
USER" in TRANSCRIPT just before), "cancel USER" cancels that user's last
call. A final answer to an INVITE gets its ACK; anything else that comes
is read and let be. A bench tool: the requests are templates, the
answers read only for their status, To and CSeq lines.
"""
import hashlib
import os
import re
import select
import socket
import sys
import time
import uuid

DOMAIN = "example.test"


def request(method, uri, port, branch, call_id, cseq, from_tag, to, extra=(), user="bench"):
    lines = [f"{method} {uri} SIP/2.0",
             f"Via: SIP/2.0/UDP 127.0.0.1:{port};branch={branch};rport",
             "Max-Forwards: 70",
             f"From: <sip:{user}@{DOMAIN}>;tag={from_tag}",
             f"To: {to}",
             f"Call-ID: {call_id}",
             f"CSeq: {cseq} {method}",
             f"Contact: <sip:{user}@127.0.0.1:{port}>",
             *extra,
             "Content-Length: 0", "", ""]
    return "\r\n".join(lines).encode()


def header(message, name):
    match = re.search(rf"^{name}:\s*(.*?)\r$", message, re.M | re.I)
    return match.group(1) if match else None


def register(registrar, user, password, contact_port):
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind(("127.0.0.1", contact_port))
    sock.settimeout(5)
    uri = f"sip:{DOMAIN}"
    call_id, tag = uuid.uuid4().hex, uuid.uuid4().hex[:8]
    to = f"<sip:{user}@{DOMAIN}>"
    extra = ["Expires: 3600"]
    for cseq in (1, 2):
        text = request("REGISTER", uri, contact_port, "z9hG4bK" + uuid.uuid4().hex, call_id, cseq,
                       tag, to, extra, user)
        sock.sendto(text, ("127.0.0.1", registrar))
        answer = sock.recv(65535).decode(errors="replace")
        status = answer.split(" ", 2)[1]
        if status == "200":
            return 0
        challenge = header(answer, "WWW-Authenticate")
        if status != "401" or challenge is None:
            break
        realm = re.search(r'realm="([^"]*)"', challenge).group(1)
        nonce = re.search(r'nonce="([^"]*)"', challenge).group(1)
        ha1 = hashlib.md5(f"{user}:{realm}:{password}".encode()).hexdigest()
        ha2 = hashlib.md5(f"REGISTER:{uri}".encode()).hexdigest()
        response = hashlib.md5(f"{ha1}:{nonce}:{ha2}".encode()).hexdigest()
        extra = ["Expires: 3600", f'Authorization: Digest username="{user}", realm="{realm}", '
                 f'nonce="{nonce}", uri="{uri}", response="{response}", algorithm=MD5']
    print(f"sip_caller: {user} not registered", file=sys.stderr)
    return 1


def call(registrar, control, transcript):
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind(("127.0.0.1", 0))
    port = sock.getsockname()[1]
    log = open(transcript, "a", buffering=1)
    fifo = os.open(control, os.O_RDONLY | os.O_NONBLOCK)
    # Held open for writing too, so that a writer's close is no end.
    os.open(control, os.O_WRONLY)
    calls = {}  # user -> (branch, call id, from tag, uri)
    pending = b""
    print("ready", flush=True)
    while True:
        ready, _, _ = select.select([sock, fifo], [], [])
        if sock in ready:
            answer = sock.recv(65535).decode(errors="replace")
            status = answer.split(" ", 2)[1] if answer.startswith("SIP/2.0 ") else ""
            cseq = header(answer, "CSeq") or ""
            if status >= "300" and cseq.endswith("INVITE"):
                via = header(answer, "Via")
                branch = re.search(r"branch=([^;]+)", via or "").group(1)
                for user, (b, call_id, tag, uri) in calls.items():
                    if b == branch:
                        sock.sendto(request("ACK", uri, port, b, call_id, cseq.split()[0], tag,
                                            header(answer, "To")), ("127.0.0.1", registrar))
        if fifo in ready:
            pending += os.read(fifo, 4096)
            while b"\n" in pending:
                line, pending = pending.split(b"\n", 1)
                command, user = line.decode().split()
                uri = f"sip:{user}@{DOMAIN}"
                if command == "call":
                    calls[user] = ("z9hG4bK" + uuid.uuid4().hex, uuid.uuid4().hex, uuid.uuid4().hex[:8], uri)
                    branch, call_id, tag, _ = calls[user]
                    text = request("INVITE", uri, port, branch, call_id, 1, tag, f"<{uri}>")
                    log.write(f"{time.time_ns() // 1000} tx INVITE {user}\n")
                    sock.sendto(text, ("127.0.0.1", registrar))
                elif command == "cancel" and user in calls:
                    branch, call_id, tag, _ = calls[user]
                    sock.sendto(request("CANCEL", uri, port, branch, call_id, 1, tag, f"<{uri}>"),
                                ("127.0.0.1", registrar))


def main():
    if len(sys.argv) == 6 and sys.argv[1] == "register":
        return register(int(sys.argv[2]), sys.argv[3], sys.argv[4], int(sys.argv[5]))
    if len(sys.argv) == 5 and sys.argv[1] == "call":
        return call(int(sys.argv[2]), sys.argv[3], sys.argv[4])
    sys.exit(__doc__)


if __name__ == "__main__":
    sys.exit(main())
