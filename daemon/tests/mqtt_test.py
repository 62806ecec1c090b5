#!/usr/bin/python3
"""hushcalld with a real mosquitto broker (a configuration of its own on a
free loopback port, with a password file; never a system service), a call
monitor stand-in and a fake MPRIS player, on a session bus of its own (run
under dbus-run-session):

    mqtt_test.py HUSHCALLD FAKE_PLAYER

A call heard here goes to the broker as JSON, with the line's state and
Home Assistant's configs retained; a second service, on a bus and host name
of its own, quiets the player here with a call of its router and puts it
back at its end, and a call both routers hear is one reaction; anything
else's call ends with its idle state; a call under our own name, rubbish
and a flood are not taken; the password file is refused while others may
read it; and the will says offline when a service goes, even by SIGKILL.
"""
import json
import os
import re
import socket
import subprocess
import sys
import tempfile
import time


sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../tools/callmonitorsim"))
from callmonitorsim import Monitor, line  # noqa: E402
import service_process  # noqa: E402
from service_process import Lines, check, failures, verdict  # noqa: E402

hushcalld, fake_player = sys.argv[1], sys.argv[2]
WAIT = 15.0  # seconds; generous for a loaded machine
# How long a call heard through the broker may go without news here: long
# enough for both services to be back after a restart of the broker.
SILENCE_MS = 10000
USER, PASSWORD = "hushcall", "s3cret"
HOST = re.sub(r"[^A-Za-z0-9._-]", "_", socket.gethostname()[:63]) or "unnamed"


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def call(origin, call_id, phase, number=None):
    message = {"origin": origin, "source": "callmonitor", "id": call_id, "direction": "incoming",
               "phase": phase, "time": time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime())}
    if number:
        message["number"] = number
    return json.dumps(message)


player_proc, notifier, control, _ = service_process.start_peers(fake_player, WAIT)


player_calls = service_process.PlayerCalls(control, WAIT)
until_calls = player_calls.until


with tempfile.TemporaryDirectory() as tmp:
    # mosquitto started as root takes its own user, which must read here.
    os.chmod(tmp, 0o755)
    port = free_port()
    passwords = os.path.join(tmp, "passwords")
    subprocess.run(["mosquitto_passwd", "-c", "-b", passwords, USER, PASSWORD], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.chmod(passwords, 0o644)
    broker_conf = os.path.join(tmp, "mosquitto.conf")
    with open(broker_conf, "w") as f:
        f.write(f"listener {port} 127.0.0.1\npersistence false\nallow_anonymous false\n"
                f"password_file {passwords}\n")
    auth = ["-h", "127.0.0.1", "-p", str(port), "-u", USER, "-P", PASSWORD]

    def start_broker():
        started = subprocess.Popen(["mosquitto", "-c", broker_conf], stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        # Listening before anything connects: mosquitto_sub gives up at once.
        end = time.monotonic() + WAIT
        while time.monotonic() < end:
            with socket.socket() as probe:
                if probe.connect_ex(("127.0.0.1", port)) == 0:
                    break
            time.sleep(0.05)
        return started

    def stop_broker():
        broker.terminate()
        broker.wait(timeout=WAIT)

    broker = start_broker()

    def publish(topic, payload, *extra):
        # From stdin: a payload of a mebibyte does not fit on a command line.
        subprocess.run(["mosquitto_pub", *auth, "-q", "1", "-t", topic, "-s", *extra],
                       input=payload, text=True, check=True, timeout=WAIT)

    monitor = Monitor()
    monitor.listen()

    own_password = os.path.join(tmp, "mqtt.pw")
    with open(own_password, "w") as f:
        f.write(PASSWORD + "\n")
    conf = os.path.join(tmp, "hushcall.conf")

    def write_conf(*extra):
        with open(conf, "w") as f:
            f.write("\n".join(["Sources=callmonitor,mqtt", f"CallMonitor=127.0.0.1:{monitor.port}",
                               f"Mqtt=mqtt://{USER}@127.0.0.1:{port}", f"MqttPasswordFile={own_password}",
                               "MqttCallerId=1", "Action=40046", "Popup=0", *extra]) + "\n")

    write_conf()

    # A password file that others may read is refused, as ssh refuses a key.
    os.chmod(own_password, 0o644)
    r = subprocess.run([hushcalld, "--check", "--config", conf], capture_output=True, text=True)
    check(r.returncode == 1 and "MqttPasswordFile " + own_password + " is open to group or others "
          "(mode 0644)" in r.stdout, f"--check refuses a password file others may read: {r.stdout!r}")
    os.chmod(own_password, 0o600)
    r = subprocess.run([hushcalld, "--check", "--config", conf], capture_output=True, text=True)
    check(r.returncode == 0, f"and takes it once it is the user's alone: {r.stdout!r}")

    sub = subprocess.Popen(["mosquitto_sub", *auth, "-v", "-t", "#"],
                           stdout=subprocess.PIPE, text=True)
    published = Lines(sub.stdout, WAIT)
    d = service_process.Daemon(hushcalld, "--config", conf, wait=WAIT,
                               env=dict(os.environ, HUSHCALLD_TEST_MQTT_SILENCE_MS=str(SILENCE_MS)))
    d_proc = d.proc
    try:
        router = monitor.accept(WAIT)
        check(d.wait_for(f"MQTT: connected to the broker at mqtt://{USER}@127.0.0.1:{port} as {HOST}")
              is not None, "it connects to the broker with its password")
        check(published.wait_for(f"hushcall/{HOST}/availability online") is not None, "and is online")
        check(published.wait_for(f"hushcall/{HOST}/state idle") is not None, "its line is idle")
        published.drain()
        check(any(s.startswith(f"homeassistant/binary_sensor/hushcall_{HOST.replace('.', '_')}/ringing/config ")
                  for s in published.seen), "Home Assistant's binary sensor is configured")

        # A call heard here: published, and the state with it.
        router.sendall(line("RING", "0", "0301234567", "987654", "SIP0"))
        got = published.wait_for(f"hushcall/{HOST}/call ")
        message = json.loads(got.split(" ", 1)[1]) if got else {}
        check(message.get("origin") == HOST and message.get("phase") == "ringing"
              and message.get("number") == "0301234567" and message.get("source") == "callmonitor",
              f"a call heard here is published with its caller: {got}")
        check(published.wait_for(f"hushcall/{HOST}/state ringing") is not None, "the line rings")
        calls = until_calls(1)
        check(calls == ["Pause"], f"and the player here is quiet: {calls}")
        router.sendall(line("DISCONNECT", "0", "0"))
        calls = until_calls(2)
        check(published.wait_for(f"hushcall/{HOST}/state idle") is not None, "idle again at its end")
        n = len(calls)

        # Another machine: a second service, named lap, on a bus of its own
        # without players, hearing a router of its own.
        lap_bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address"],
                                   stdout=subprocess.PIPE, text=True)
        lap_env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=lap_bus.stdout.readline().strip())
        lap_monitor = Monitor()
        lap_monitor.listen()
        lap_conf = os.path.join(tmp, "lap.conf")
        with open(lap_conf, "w") as f:
            f.write("\n".join(["Sources=callmonitor", f"CallMonitor=127.0.0.1:{lap_monitor.port}",
                               f"Mqtt=mqtt://{USER}@127.0.0.1:{port}", f"MqttPasswordFile={own_password}",
                               "MqttCallerId=1", "Popup=0"]) + "\n")
        # A host name of its own: a service takes no call under its own.
        as_lap = ["unshare", "--uts"] + ([] if os.getuid() == 0 else ["--map-root-user"])
        lap = service_process.Daemon(as_lap[0], *as_lap[1:], "sh", "-c", 'hostname lap && exec "$@"',
                                     "lap", hushcalld, "--config", lap_conf, wait=WAIT, env=lap_env)
        lap_router = lap_monitor.accept(WAIT)
        check(lap.wait_for("MQTT: connected to the broker") is not None, "a second machine, lap, connects")
        published.wait_for("hushcall/lap/state idle")
        lap_router.sendall(line("RING", "7", "0307654321", "987654", "SIP0"))
        calls = until_calls(n + 1)
        check(calls[n:] == ["Pause"], f"a ring at lap quiets the player here: {calls[n:]}")
        check(d.wait_for("MQTT: lap has an incoming call (callmonitor/7)") is not None, "and is logged")
        lap_router.sendall(line("DISCONNECT", "7", "0"))
        calls = until_calls(n + 2)
        check(calls[n:] == ["Pause", "Play"], f"and its end puts the player back: {calls[n:]}")
        n = len(calls)

        # One call heard by both routers, here and through the broker: one reaction.
        for peer in (lap_router, router):
            peer.sendall(line("RING", "8", "0301111111", "987654", "SIP0"))
        check(d.wait_for("MQTT: lap has an incoming call (callmonitor/8)") is not None,
              "lap's news of the call arrives too")
        until_calls(n + 1)
        for peer in (router, lap_router):
            peer.sendall(line("DISCONNECT", "8", "0"))
        calls = until_calls(n + 2)
        time.sleep(0.5)
        check(player_calls()[n:] == ["Pause", "Play"], f"one call heard twice is one reaction: {player_calls()[n:]}")
        n = len(player_calls())

        # The broker stopped during lap's call, whose end it misses; back,
        # lap's idle state ends the call, and its next call works.
        lap_router.sendall(line("RING", "11", "0302222222", "987654", "SIP0"))
        calls = until_calls(n + 1)
        stop_broker()
        check(d.wait_for(f"MQTT: the broker at mqtt://{USER}@127.0.0.1:{port}: ") is not None,
              "the broker's loss is logged")
        lap_router.sendall(line("DISCONNECT", "11", "0"))
        broker = start_broker()
        check(d.wait_for(f"MQTT: the broker at mqtt://{USER}@127.0.0.1:{port} is back") is not None,
              "and its return")
        calls = until_calls(n + 2)
        check(calls[n:] == ["Pause", "Play"], f"lap's idle state ends the call the broker missed: {calls[n:]}")
        lap_router.sendall(line("RING", "12", "0302222222", "987654", "SIP0"))
        until_calls(n + 3)
        lap_router.sendall(line("DISCONNECT", "12", "0"))
        calls = until_calls(n + 4)
        check(calls[n + 2:] == ["Pause", "Play"], f"and its next call works: {calls[n + 2:]}")
        n = len(calls)
        # mosquitto_sub may or may not have stayed through the restart.
        sub.terminate()
        sub = subprocess.Popen(["mosquitto_sub", *auth, "-v", "-t", "#"],
                               stdout=subprocess.PIPE, text=True)
        published = Lines(sub.stdout, WAIT)
        published.wait_for(f"hushcall/{HOST}/availability online")
        lap.proc.kill()
        lap.proc.wait(timeout=WAIT)
        lap_bus.terminate()
        check(published.wait_for("hushcall/lap/availability offline") is not None,
              "lap, killed with SIGKILL, is offline by its will")

        # A call whose end is lost with the broker, from a publisher that
        # never comes back: given up after the silence, the music kept quiet.
        publish("hushcall/ha/call", call("ha", "7", "ringing"))
        until_calls(n + 1)
        stop_broker()
        broker = start_broker()
        check(d.wait_for(f"MQTT: no news of ha's call for {SILENCE_MS // 1000} s; taken as over, the end unknown",
                         SILENCE_MS / 1000 + WAIT) is not None, "a call without news is given up")
        time.sleep(0.5)
        check(player_calls()[n:] == ["Pause"], f"and the player is kept quiet: {player_calls()[n:]}")
        control.UserSetStatus("Playing", True)
        n = len(player_calls())

        # Anything may publish a call, Home Assistant say; its idle state
        # ends it. It is the first call after the one given up: heard anew.
        publish("hushcall/ha/call", call("ha", "8", "ringing"))
        until_calls(n + 1)
        publish("hushcall/ha/state", "idle", "-r")
        calls = until_calls(n + 2)
        check(calls[n:] == ["Pause", "Play"], f"a publisher's idle state ends its call: {calls[n:]}")
        n = len(calls)

        # Our own name, and rubbish: nothing happens; the rubbish is logged once.
        publish(f"hushcall/{HOST}/call", call(HOST, "9", "ringing"))
        publish("hushcall/ha/call", '{"origin":"ha"}')
        publish("hushcall/ha/call", "x" * (1 << 20))
        # A flood: a thousand lines, each a message.
        subprocess.run(["mosquitto_pub", *auth, "-t", "hushcall/ha/call", "-l"], input="not json\n" * 1000,
                       text=True, check=True, timeout=WAIT)
        time.sleep(1.0)
        check(player_calls()[n:] == [], f"our own name and rubbish quiet nothing: {player_calls()[n:]}")
        d.drain()
        dropped = [s for s in d.seen if "cannot take" in s]
        check(len(dropped) == 1, f"the rubbish is logged once: {dropped}")
        publish("hushcall/ha/call", call("ha", "9", "ringing"))
        publish("hushcall/ha/call", call("ha", "9", "ended"))
        calls = until_calls(n + 2)
        check(calls[n:] == ["Pause", "Play"], f"and the next good call still gets its reaction: {calls[n:]}")
        n = len(calls)

        # A reload that moves the topic: connected anew, the old name offline.
        write_conf("MqttTopic=home/phone")
        d_proc.send_signal(1)
        check(d.wait_for("reload: MqttTopic hushcall -> home/phone") is not None, "a reload moves the topic")
        check(d.wait_for("MQTT: connected to the broker") is not None, "and connects anew")
        check(published.wait_for(f"home/phone/{HOST}/availability online") is not None,
              "online under the new topic")
        published.drain()
        check(f"hushcall/{HOST}/availability offline" in published.seen,
              "and offline under the old one, by its will")
        d.drain()
        check(not any("call monitor" in s and "anew" in s for s in d.seen),
              "the call monitor keeps its connection")
        publish("home/phone/lap/call", call("lap", "10", "ringing"))
        calls = until_calls(n + 1)
        check(calls[n:] == ["Pause"], f"the new topic's calls are heard: {calls[n:]}")

        # Reloads that keep the topic: the machine stays online, whichever
        # of the old connection's end and the new one's start the broker
        # takes first.
        for caller_id in ("0", "1", "0", "1", "0"):
            write_conf("MqttTopic=home/phone", f"MqttCallerId={caller_id}")
            d_proc.send_signal(1)
            check(d.wait_for("MQTT: connected to the broker") is not None, "connected anew")
        time.sleep(0.5)
        r = subprocess.run(["mosquitto_sub", *auth, "-C", "1", "-W", "5", "-t",
                            f"home/phone/{HOST}/availability"], capture_output=True, text=True)
        check(r.stdout.strip() == "online", f"still online after reloads on its topic: {r.stdout!r}")
        check(d_proc.poll() is None, "the service runs on")
    finally:
        code = d.stop()
        check(code == 0, f"SIGTERM stops it with 0: {code}")
        check(published.wait_for(f"home/phone/{HOST}/availability offline") is not None,
              "the broker says it is offline by its will")
        d.drain()
        if failures:
            print("its log:\n  " + "\n  ".join(d.seen))
        sub.terminate()
        broker.terminate()
        broker.wait(timeout=WAIT)
        player_proc.terminate()
        notifier.terminate()

verdict("mqtt")
