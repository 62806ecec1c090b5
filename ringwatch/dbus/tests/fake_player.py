#!/usr/bin/python3
"""A fake MPRIS player on the session bus, for the MprisReaction tests.

    fake_player.py NAME MODE [VOLUME] [STATUS]

NAME is its bus name (org.mpris.MediaPlayer2.NAME); MODE how it behaves:
  obey            does what it is asked
  no-volume       has no Volume property
  set-fails       answers every Set with an error
  ignores-set     answers Set, but its volume stays as it was
  cannot-control  says CanControl false
  hang            never answers a call of its MPRIS interfaces
  vanish          leaves the bus the moment it is first called
  two-names       obeys, and owns NAME.instance2 as well
It prints "ready" once it owns its name. The tests steer and read it through
org.hushcall.Test at /org/hushcall/Test: Calls() lists what it was asked,
each with the time (CLOCK_MONOTONIC, in seconds) it arrived; UserSetVolume
and UserSetStatus change it as its user would, with or without the
PropertiesChanged signal.
"""
import os
import sys
import time

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

MPRIS_PATH = '/org/mpris/MediaPlayer2'
ROOT_IFACE = 'org.mpris.MediaPlayer2'
PLAYER_IFACE = 'org.mpris.MediaPlayer2.Player'
TEST_IFACE = 'org.hushcall.Test'


class Player(dbus.service.Object):
    def __init__(self, bus, mode, volume, status):
        super().__init__(bus, MPRIS_PATH)
        self.mode = mode
        self.calls = []
        self.pending = []  # a hung player's unanswered calls
        self.props = {
            ROOT_IFACE: {'Identity': dbus.String('fake ' + mode), 'CanQuit': dbus.Boolean(False)},
            PLAYER_IFACE: {
                'PlaybackStatus': dbus.String(status),
                'CanControl': dbus.Boolean(mode != 'cannot-control'),
                'CanPause': dbus.Boolean(True),
                'CanPlay': dbus.Boolean(True),
            },
        }
        if mode != 'no-volume':
            self.props[PLAYER_IFACE]['Volume'] = dbus.Double(volume)

    def record(self, text):
        self.calls.append((time.monotonic(), text))

    def changed(self, name, value):
        self.props[PLAYER_IFACE][name] = value
        self.PropertiesChanged(PLAYER_IFACE, {name: value}, [])

    # Every MPRIS call goes through here: it records, then hangs, vanishes
    # or answers.
    def handle(self, text, ok, err, body):
        self.record(text)
        if self.mode == 'hang':
            self.pending.append((ok, err))
            return
        if self.mode == 'vanish':
            os._exit(0)
        try:
            result = body()
        except dbus.DBusException as e:
            err(e)
            return
        if result is None:
            ok()
        else:
            ok(result)

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature='ss', out_signature='v',
                         async_callbacks=('ok', 'err'))
    def Get(self, interface, name, ok, err):
        def body():
            try:
                return self.props[interface][name]
            except KeyError:
                raise dbus.DBusException('no property ' + name,
                                         name='org.freedesktop.DBus.Error.UnknownProperty')
        self.handle('Get ' + name, ok, err, body)

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature='s', out_signature='a{sv}',
                         async_callbacks=('ok', 'err'))
    def GetAll(self, interface, ok, err):
        self.handle('GetAll', ok, err,
                    lambda: dbus.Dictionary(self.props.get(interface, {}), signature='sv'))

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature='ssv', out_signature='',
                         async_callbacks=('ok', 'err'))
    def Set(self, interface, name, value, ok, err):
        def body():
            if self.mode == 'set-fails':
                raise dbus.DBusException('this player keeps its volume',
                                         name='org.freedesktop.DBus.Error.AccessDenied')
            if name not in self.props.get(interface, {}):
                raise dbus.DBusException('no property ' + name,
                                         name='org.freedesktop.DBus.Error.UnknownProperty')
            if self.mode != 'ignores-set':
                self.changed(name, dbus.Double(value) if name == 'Volume' else value)
        self.handle('Set %s %r' % (name, float(value) if name == 'Volume' else value), ok, err, body)

    @dbus.service.signal(dbus.PROPERTIES_IFACE, signature='sa{sv}as')
    def PropertiesChanged(self, interface, changed, invalidated):
        pass

    def status_call(self, name, status, ok, err):
        self.handle(name, ok, err, lambda: self.changed('PlaybackStatus', dbus.String(status)))

    @dbus.service.method(PLAYER_IFACE, in_signature='', out_signature='',
                         async_callbacks=('ok', 'err'))
    def Pause(self, ok, err):
        self.status_call('Pause', 'Paused', ok, err)

    @dbus.service.method(PLAYER_IFACE, in_signature='', out_signature='',
                         async_callbacks=('ok', 'err'))
    def Play(self, ok, err):
        self.status_call('Play', 'Playing', ok, err)

    @dbus.service.method(PLAYER_IFACE, in_signature='', out_signature='',
                         async_callbacks=('ok', 'err'))
    def Stop(self, ok, err):
        self.status_call('Stop', 'Stopped', ok, err)


class Control(dbus.service.Object):
    def __init__(self, bus, player):
        super().__init__(bus, '/org/hushcall/Test')
        self.player = player

    @dbus.service.method(TEST_IFACE, in_signature='', out_signature='a(ds)')
    def Calls(self):
        return dbus.Array(self.player.calls, signature='(ds)')

    @dbus.service.method(TEST_IFACE, in_signature='', out_signature='a{sv}')
    def State(self):
        return dbus.Dictionary(self.player.props[PLAYER_IFACE], signature='sv')

    @dbus.service.method(TEST_IFACE, in_signature='db', out_signature='')
    def UserSetVolume(self, volume, signal):
        self.player.props[PLAYER_IFACE]['Volume'] = dbus.Double(volume)
        if signal:
            self.player.changed('Volume', dbus.Double(volume))

    @dbus.service.method(TEST_IFACE, in_signature='sb', out_signature='')
    def UserSetStatus(self, status, signal):
        self.player.props[PLAYER_IFACE]['PlaybackStatus'] = dbus.String(status)
        if signal:
            self.player.changed('PlaybackStatus', dbus.String(status))


def main():
    name, mode = sys.argv[1], sys.argv[2]
    volume = float(sys.argv[3]) if len(sys.argv) > 3 else 0.8
    status = sys.argv[4] if len(sys.argv) > 4 else 'Playing'
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    player = Player(bus, mode, volume, status)
    control = Control(bus, player)
    # Held for the life of the process.
    bus_name = dbus.service.BusName('org.mpris.MediaPlayer2.' + name, bus)
    second = None
    if mode == 'two-names':
        second = dbus.service.BusName('org.mpris.MediaPlayer2.' + name + '.instance2', bus)
    print('ready', flush=True)
    GLib.MainLoop().run()
    del control, bus_name, second


if __name__ == '__main__':
    main()
