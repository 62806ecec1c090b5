#!/usr/bin/python3
"""A player for bench/linux.sh: an MPRIS player that always plays, and logs
the unix time in microseconds at which each Pause, Stop or Volume change
reaches it ("<us> Pause").

    linux_player.py BUS_NAME_SUFFIX LOG
"""
import sys
import time

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

PATH = "/org/mpris/MediaPlayer2"
PLAYER = "org.mpris.MediaPlayer2.Player"
PROPS = "org.freedesktop.DBus.Properties"


class Player(dbus.service.Object):
    def __init__(self, bus, log):
        super().__init__(bus, PATH)
        self.log = log

    def note(self, what):
        self.log.write(f"{time.time_ns() // 1000} {what}\n")
        self.log.flush()

    @dbus.service.method(PLAYER)
    def Pause(self):
        self.note("Pause")

    @dbus.service.method(PLAYER)
    def Stop(self):
        self.note("Stop")

    @dbus.service.method(PLAYER)
    def Play(self):
        pass

    def props(self):
        return {"PlaybackStatus": "Playing", "Volume": dbus.Double(1.0),
                "CanControl": True, "CanPause": True}

    @dbus.service.method(PROPS, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self.props()[name]

    @dbus.service.method(PROPS, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return self.props() if interface == PLAYER else {}

    @dbus.service.method(PROPS, in_signature="ssv")
    def Set(self, interface, name, value):
        self.note(f"Set {name} {float(value)}")


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    with open(sys.argv[2], "a") as log:
        player = Player(bus, log)
        # Held: the name goes when its object does.
        name = dbus.service.BusName("org.mpris.MediaPlayer2." + sys.argv[1], bus)
        print("ready", flush=True)
        GLib.MainLoop().run()
        del player, name


if __name__ == "__main__":
    main()
