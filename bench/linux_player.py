#!/usr/bin/python3
"""Players for bench/linux.sh: MPRIS players that always play, and log the
unix time in microseconds at which each Pause, Stop, Volume change or
property read reaches them ("<us> Pause", "<us> Get PlaybackStatus").

    linux_player.py BUS_NAME_SUFFIX LOG [--players N] [--delay-ms MS]

N players (1) in this one process share LOG, each on a connection of its
own, so that the service takes them for N players: BUS_NAME_SUFFIX alone,
or followed by 0 to N-1. Each answers every call MS milliseconds (0) after
it came, without holding up the others, as a busy player would.
"""
import argparse
import time

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

PATH = "/org/mpris/MediaPlayer2"
PLAYER = "org.mpris.MediaPlayer2.Player"
PROPS = "org.freedesktop.DBus.Properties"
ASYNC = ("ok", "err")


class Player(dbus.service.Object):
    def __init__(self, bus, log, delay_ms):
        super().__init__(bus, PATH)
        self.log = log
        self.delay_ms = delay_ms

    def note(self, what):
        self.log.write(f"{time.time_ns() // 1000} {what}\n")
        self.log.flush()

    def answer(self, ok, *result):
        if self.delay_ms == 0:
            ok(*result)
        else:
            GLib.timeout_add(self.delay_ms, lambda: ok(*result) and False)

    @dbus.service.method(PLAYER, async_callbacks=ASYNC)
    def Pause(self, ok, err):
        self.note("Pause")
        self.answer(ok)

    @dbus.service.method(PLAYER, async_callbacks=ASYNC)
    def Stop(self, ok, err):
        self.note("Stop")
        self.answer(ok)

    @dbus.service.method(PLAYER, async_callbacks=ASYNC)
    def Play(self, ok, err):
        self.answer(ok)

    def props(self):
        return {"PlaybackStatus": "Playing", "Volume": dbus.Double(1.0),
                "CanControl": True, "CanPause": True}

    @dbus.service.method(PROPS, in_signature="ss", out_signature="v", async_callbacks=ASYNC)
    def Get(self, interface, name, ok, err):
        self.note(f"Get {name}")
        self.answer(ok, self.props()[name])

    @dbus.service.method(PROPS, in_signature="s", out_signature="a{sv}", async_callbacks=ASYNC)
    def GetAll(self, interface, ok, err):
        self.answer(ok, self.props() if interface == PLAYER else {})

    @dbus.service.method(PROPS, in_signature="ssv", async_callbacks=ASYNC)
    def Set(self, interface, name, value, ok, err):
        self.note(f"Set {name} {float(value)}")
        self.answer(ok)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("suffix")
    parser.add_argument("log")
    parser.add_argument("--players", type=int, default=1)
    parser.add_argument("--delay-ms", type=int, default=0)
    args = parser.parse_args()
    DBusGMainLoop(set_as_default=True)
    with open(args.log, "a") as log:
        held = []
        for i in range(args.players):
            bus = dbus.SessionBus(private=True)
            suffix = args.suffix if args.players == 1 else f"{args.suffix}{i}"
            # Held: a name goes when its object does.
            held.append((Player(bus, log, args.delay_ms),
                         dbus.service.BusName("org.mpris.MediaPlayer2." + suffix, bus)))
        print("ready", flush=True)
        GLib.MainLoop().run()


if __name__ == "__main__":
    main()
