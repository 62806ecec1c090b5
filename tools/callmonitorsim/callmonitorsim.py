#!/usr/bin/python3
"""A stand-in for an AVM router's call monitor: a TCP server on a free
127.0.0.1 port that writes the lines it is told to, stamped as the router
stamps them, to every client connected.

    callmonitorsim.py --control FIFO --transcript LOG

prints "ready PORT" once it listens, then reads commands from FIFO (made
here), one a line:
  RING;0;0301234567;5550100;SIP0;   a line, without its stamp and CR LF
  close                             hangs up on every client
LOG gets "<unix us> connected", "<unix us> tx LINE" just before each write,
and "<unix us> closed". Tests import Monitor and line() from here instead.
"""
import os
import selectors
import signal
import socket
import sys
import time


def stamped(text):
    """TEXT as the router writes it: after its stamp, before CR LF."""
    return (time.strftime("%d.%m.%y %H:%M:%S") + ";" + text + "\r\n").encode()


def line(kind, *fields):
    """One call monitor line, `;` after each field."""
    return stamped(kind + ";" + "".join(f + ";" for f in fields))


class Monitor:
    """The router's side: a port on 127.0.0.1 held from the start, refusing
    until listen()."""

    def __init__(self):
        self.server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.server.bind(("127.0.0.1", 0))
        self.port = self.server.getsockname()[1]
        self.clients = []

    def listen(self):
        self.server.listen(4)

    def accept(self, timeout=None):
        self.server.settimeout(timeout)
        client, _ = self.server.accept()
        client.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.clients.append(client)
        return client

    def send(self, data):
        for client in self.clients:
            client.sendall(data)

    def hang_up(self):
        for client in self.clients:
            client.close()
        self.clients = []


def serve(control_path, transcript_path):
    monitor = Monitor()
    monitor.listen()
    monitor.server.setblocking(False)
    os.mkfifo(control_path)
    # Held open for writing too, so the last writer's close is no end.
    control = os.open(control_path, os.O_RDWR | os.O_NONBLOCK)
    log = open(transcript_path, "a", buffering=1)

    def note(what):
        log.write(f"{time.time_ns() // 1000} {what}\n")

    selector = selectors.DefaultSelector()

    def drop(client):
        selector.unregister(client)
        monitor.clients.remove(client)
        client.close()
        note("closed")

    selector.register(monitor.server, selectors.EVENT_READ, "accept")
    selector.register(control, selectors.EVENT_READ, "control")
    print(f"ready {monitor.port}", flush=True)
    pending = b""
    try:
        while True:
            for key, _ in selector.select():
                if key.data == "accept":
                    client = monitor.accept()
                    client.setblocking(True)
                    selector.register(client, selectors.EVENT_READ, "client")
                    note("connected")
                elif key.data == "client":
                    # The router ignores what its clients say; an end is a close.
                    try:
                        gone = not key.fileobj.recv(4096)
                    except OSError:
                        gone = True
                    if gone:
                        drop(key.fileobj)
                else:
                    pending += os.read(control, 4096)
                    *commands, pending = pending.split(b"\n")
                    for command in (c.decode().strip() for c in commands):
                        if command == "close":
                            for client in list(monitor.clients):
                                drop(client)
                        elif command:
                            data = stamped(command)
                            note("tx " + command)
                            for client in list(monitor.clients):
                                try:
                                    client.sendall(data)
                                except OSError:
                                    drop(client)
    finally:
        os.unlink(control_path)


def main():
    args = dict(zip(sys.argv[1::2], sys.argv[2::2]))
    if set(args) != {"--control", "--transcript"} or len(sys.argv) != 5:
        sys.exit("usage: callmonitorsim.py --control FIFO --transcript LOG")
    # Ended by its starter: the FIFO goes with it.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    try:
        serve(args["--control"], args["--transcript"])
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
