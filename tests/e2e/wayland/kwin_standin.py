#!/usr/bin/python3
"""A stand-in for KWin's input devices (org.kde.KWin on the session bus), for
the end-to-end tests and benchmarks: a real D-Bus service with KWin's object
paths, interfaces, properties and signals, whose settings the tests read back.

    kwin_standin.py LOG [--touchpads N] [--state FILE]

/org/kde/KWin/InputDevice (org.kde.KWin.InputDeviceManager) lists the devices
and signals deviceAdded and deviceRemoved (each with the sysName). By default:
event7, a touchpad with two-finger and edge scrolling on and tap-to-click on,
and event3, a mouse. With --touchpads 3: also event8, a second touchpad of
event7's model, and event12, another model whose edge scrolling is off. Each
device is /org/kde/KWin/InputDevice/<sysName> (org.kde.KWin.InputDevice); its
settings are writable properties. With --state, the settings are read from
FILE at the start (when it exists) and written there at each change, as KWin
keeps them in its configuration. LOG gets "ready", then "set DEVICE PROPERTY
VALUE" per write.

Test hooks (org.hushpad.TestHooks on /org/kde/KWin/InputDevice):
Replug(s) gives event7 a new sysName, as a reboot or replugging does;
Unplug(s) and Plug(s) take a device away and bring it back (with the signal);
Keep(ssb) changes a setting of an unplugged device, as the user does in
Plasma's settings while it is away.
"""
import argparse
import json
import os

from gi.repository import Gio, GLib

INTROSPECTION = Gio.DBusNodeInfo.new_for_xml("""
<node>
  <interface name="org.kde.KWin.InputDeviceManager">
    <property name="devicesSysNames" type="as" access="read"/>
    <signal name="deviceAdded"><arg name="sysName" type="s"/></signal>
    <signal name="deviceRemoved"><arg name="sysName" type="s"/></signal>
  </interface>
  <interface name="org.hushpad.TestHooks">
    <method name="Replug"><arg type="s" direction="in"/></method>
    <method name="Unplug"><arg type="s" direction="in"/></method>
    <method name="Plug"><arg type="s" direction="in"/></method>
    <method name="Keep">
      <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="b" direction="in"/>
    </method>
  </interface>
  <interface name="org.kde.KWin.InputDevice">
    <property name="sysName" type="s" access="read"/>
    <property name="name" type="s" access="read"/>
    <property name="vendor" type="u" access="read"/>
    <property name="product" type="u" access="read"/>
    <property name="touchpad" type="b" access="read"/>
    <property name="scrollTwoFinger" type="b" access="readwrite"/>
    <property name="scrollEdge" type="b" access="readwrite"/>
    <property name="tapToClick" type="b" access="readwrite"/>
  </interface>
</node>""")
SYNAPTICS = {"name": "SynPS/2 Synaptics TouchPad", "vendor": 0x2, "product": 0x7,
             "touchpad": True, "scrollTwoFinger": True, "scrollEdge": True, "tapToClick": True}
DEVICES = {
    "event7": dict(SYNAPTICS, sysName="event7"),
    "event3": {"sysName": "event3", "name": "Logitech USB Optical Mouse", "vendor": 0x46d,
               "product": 0xc077, "touchpad": False, "scrollTwoFinger": True,
               "scrollEdge": False, "tapToClick": False},
}
MORE_TOUCHPADS = {
    "event8": dict(SYNAPTICS, sysName="event8"),
    "event12": {"sysName": "event12", "name": "Apple Inc. Magic Trackpad", "vendor": 0x5ac,
                "product": 0x265, "touchpad": True, "scrollTwoFinger": True,
                "scrollEdge": False, "tapToClick": True},
}
TYPES = {"sysName": "s", "name": "s", "vendor": "u", "product": "u"}
SETTINGS = ("scrollTwoFinger", "scrollEdge", "tapToClick")

parser = argparse.ArgumentParser()
parser.add_argument("log")
parser.add_argument("--touchpads", type=int, default=1, choices=(1, 3))
parser.add_argument("--state")
options = parser.parse_args()
if options.touchpads == 3:
    DEVICES.update(MORE_TOUCHPADS)
unplugged = {}
registered = {}
log = open(options.log, "a", buffering=1)
bus = None


def save():
    if not options.state:
        return
    kept = {name: {key: device[key] for key in SETTINGS}
            for name, device in list(DEVICES.items()) + list(unplugged.items())}
    with open(options.state + ".new", "w") as f:
        json.dump(kept, f)
    os.replace(options.state + ".new", options.state)


if options.state and os.path.exists(options.state):
    with open(options.state) as f:
        for name, kept in json.load(f).items():
            if name in DEVICES:
                DEVICES[name].update(kept)


def device_property(name):
    def get(connection, sender, path, interface, prop):
        value = DEVICES[name].get(prop)
        if value is None:
            return None
        return GLib.Variant(TYPES.get(prop, "b"), value)

    def set_(connection, sender, path, interface, prop, value):
        DEVICES[name][prop] = value.unpack()
        save()
        log.write("set %s %s %s\n" % (name, prop, str(value.unpack()).lower()))
        return True
    return get, set_


def export(connection, name):
    get, set_ = device_property(name)
    registered[name] = connection.register_object(
        "/org/kde/KWin/InputDevice/" + name,
        INTROSPECTION.lookup_interface("org.kde.KWin.InputDevice"), None, get, set_)


def emit(signal, name):
    bus.emit_signal(None, "/org/kde/KWin/InputDevice", "org.kde.KWin.InputDeviceManager", signal,
                    GLib.Variant("(s)", (name,)))


def on_hook(connection, sender, path, interface, method, args, invocation):
    args = args.unpack()
    if method == "Replug":
        new_name = args[0]
        connection.unregister_object(registered.pop("event7"))
        DEVICES[new_name] = dict(DEVICES.pop("event7"), sysName=new_name)
        export(connection, new_name)
        log.write("replugged %s\n" % new_name)
    elif method == "Unplug":
        connection.unregister_object(registered.pop(args[0]))
        unplugged[args[0]] = DEVICES.pop(args[0])
        emit("deviceRemoved", args[0])
        log.write("unplugged %s\n" % args[0])
    elif method == "Plug":
        DEVICES[args[0]] = unplugged.pop(args[0])
        export(connection, args[0])
        emit("deviceAdded", args[0])
        log.write("plugged %s\n" % args[0])
    elif method == "Keep":
        unplugged[args[0]][args[1]] = args[2]
        save()
        log.write("kept %s %s %s\n" % (args[0], args[1], str(args[2]).lower()))
    invocation.return_value(None)


def on_bus(connection, _name):
    global bus
    bus = connection
    manager = INTROSPECTION.lookup_interface("org.kde.KWin.InputDeviceManager")
    connection.register_object(
        "/org/kde/KWin/InputDevice", manager, None,
        lambda *args: GLib.Variant("as", sorted(DEVICES)), None)
    connection.register_object("/org/kde/KWin/InputDevice",
                               INTROSPECTION.lookup_interface("org.hushpad.TestHooks"),
                               on_hook, None, None)
    for name in list(DEVICES):
        export(connection, name)


def on_name(_connection, _name):
    log.write("ready\n")


Gio.bus_own_name(Gio.BusType.SESSION, "org.kde.KWin", Gio.BusNameOwnerFlags.NONE,
                 on_bus, on_name, lambda *args: os._exit(1))
GLib.MainLoop().run()
