#!/usr/bin/python3
"""A ModemManager for the ModemManagerCalls tests: python-dbusmock on the
system bus (DBUS_SYSTEM_BUS_ADDRESS), steered line by line from stdin.
Each command answers "ok" (or "error ...") on stdout once done; signals a
command emits are on the bus before its answer.

  start                 ModemManager takes its name (an object manager)
  stop                  ModemManager leaves the bus (its process ends)
  modem M               adds voice-capable modem M (InterfacesAdded)
  remove-modem M        removes it (InterfacesRemoved)
  call C M DIR STATE [NUMBER]
                        adds call C on modem M (CallAdded), with
                        MMCallDirection DIR and MMCallState STATE, from
                        NUMBER (default +15550100; - for none)
  number C NUMBER       changes call C's number (PropertiesChanged)
  state C STATE         changes call C's state (StateChanged, and
                        PropertiesChanged as ModemManager sends both)
  delete C              deletes call C (CallDeleted)
"""
import subprocess
import sys
import time

import dbus

SERVICE = 'org.freedesktop.ModemManager1'
ROOT = '/org/freedesktop/ModemManager1'
MODEM_IFACE = 'org.freedesktop.ModemManager1.Modem'
VOICE_IFACE = 'org.freedesktop.ModemManager1.Modem.Voice'
CALL_IFACE = 'org.freedesktop.ModemManager1.Call'
MOCK_IFACE = 'org.freedesktop.DBus.Mock'
OBJECT_MANAGER = 'org.freedesktop.DBus.ObjectManager'


def modem_path(m):
    return f'{ROOT}/Modem/{m}'


def call_path(c):
    return f'{ROOT}/Call/{c}'


class Fake:
    def __init__(self):
        self.bus = dbus.SystemBus()
        self.server = None
        self.calls = {}  # modem -> call paths
        self.states = {}  # call path -> state

    def mock(self, path):
        return dbus.Interface(self.bus.get_object(SERVICE, path), MOCK_IFACE)

    def start(self):
        # The last one's name must be free first, or the new one finds it
        # taken.
        self.wait_for_name(False)
        self.server = subprocess.Popen(
            ['/usr/bin/python3', '-m', 'dbusmock', '--system', '-m', SERVICE, ROOT, SERVICE],
            stdout=subprocess.DEVNULL)
        self.wait_for_name(True)
        self.calls.clear()
        self.states.clear()

    def stop(self):
        self.server.terminate()
        self.server.wait()
        self.server = None
        self.wait_for_name(False)

    def wait_for_name(self, owned):
        deadline = time.monotonic() + 10
        while self.bus.name_has_owner(SERVICE) != owned:
            if time.monotonic() > deadline:
                raise RuntimeError(f'{SERVICE} is still {"un" if owned else ""}owned')
            time.sleep(0.02)

    def modem(self, m):
        path = modem_path(m)
        root = self.mock(ROOT)
        root.AddObject(path, MODEM_IFACE, {'State': dbus.Int32(8)}, [])
        voice = {'Calls': dbus.Array([], signature='o')}
        self.mock(path).AddProperties(VOICE_IFACE, voice)
        self.mock(path).AddMethods(VOICE_IFACE, [('ListCalls', '', 'ao', 'ret = self.props["%s"]["Calls"]' % VOICE_IFACE)])
        self.calls[m] = []
        root.EmitSignal(OBJECT_MANAGER, 'InterfacesAdded', 'oa{sa{sv}}', [
            dbus.ObjectPath(path),
            dbus.Dictionary({MODEM_IFACE: dbus.Dictionary({'State': dbus.Int32(8)}, signature='sv'),
                             VOICE_IFACE: dbus.Dictionary(voice, signature='sv')}, signature='sa{sv}')])

    def remove_modem(self, m):
        path = modem_path(m)
        root = self.mock(ROOT)
        root.RemoveObject(path)
        root.EmitSignal(OBJECT_MANAGER, 'InterfacesRemoved', 'oas', [
            dbus.ObjectPath(path), dbus.Array([MODEM_IFACE, VOICE_IFACE], signature='s')])
        del self.calls[m]

    def update_calls(self, m):
        self.mock(modem_path(m)).UpdateProperties(VOICE_IFACE, {
            'Calls': dbus.Array([dbus.ObjectPath(p) for p in self.calls[m]], signature='o')})

    def call(self, c, m, direction, state, number='+15550100'):
        path = call_path(c)
        self.mock(ROOT).AddObject(path, CALL_IFACE, {
            'Direction': dbus.Int32(int(direction)),
            'State': dbus.Int32(int(state)),
            'StateReason': dbus.Int32(2),
            'Number': dbus.String('' if number == '-' else number),
        }, [('Accept', '', '', ''), ('Hangup', '', '', '')])
        self.states[path] = int(state)
        self.calls[m].append(path)
        self.update_calls(m)
        self.mock(modem_path(m)).EmitSignal(VOICE_IFACE, 'CallAdded', 'o', [dbus.ObjectPath(path)])

    def state(self, c, state):
        path = call_path(c)
        old = self.states[path]
        self.states[path] = int(state)
        call = self.mock(path)
        call.EmitSignal(CALL_IFACE, 'StateChanged', 'iiu', [dbus.Int32(old), dbus.Int32(int(state)),
                                                            dbus.UInt32(4)])
        call.UpdateProperties(CALL_IFACE, {'State': dbus.Int32(int(state))})

    def number(self, c, number):
        self.mock(call_path(c)).UpdateProperties(CALL_IFACE, {'Number': dbus.String(number)})

    def delete(self, c):
        path = call_path(c)
        for m, paths in self.calls.items():
            if path in paths:
                paths.remove(path)
                self.update_calls(m)
                self.mock(modem_path(m)).EmitSignal(VOICE_IFACE, 'CallDeleted', 'o', [dbus.ObjectPath(path)])
        self.mock(ROOT).RemoveObject(path)
        del self.states[path]


def main():
    fake = Fake()
    commands = {
        'start': fake.start, 'stop': fake.stop, 'modem': fake.modem,
        'remove-modem': fake.remove_modem, 'call': fake.call, 'state': fake.state,
        'delete': fake.delete, 'number': fake.number,
    }
    for line in sys.stdin:
        words = line.split()
        if not words:
            continue
        try:
            commands[words[0]](*words[1:])
            print('ok', flush=True)
        except Exception as e:  # pylint: disable=broad-except
            print('error', words[0], e, flush=True)
    if fake.server:
        fake.stop()


if __name__ == '__main__':
    main()
