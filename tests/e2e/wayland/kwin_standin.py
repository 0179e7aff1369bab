#!/usr/bin/python3
"""A stand-in for KWin's input devices (org.kde.KWin on the session bus), for
the end-to-end tests: a real D-Bus service with KWin's object paths,
interfaces and properties, whose settings the tests read back.

    kwin_standin.py LOG

/org/kde/KWin/InputDevice (org.kde.KWin.InputDeviceManager) lists two
devices: event7, a touchpad with two-finger and edge scrolling on and
tap-to-click on, and event3, a mouse. Each device is
/org/kde/KWin/InputDevice/<sysName> (org.kde.KWin.InputDevice); its settings
are writable properties. LOG gets "ready", then "set DEVICE PROPERTY VALUE"
per write. The test hook org.hushpad.TestHooks.Replug(s) on
/org/kde/KWin/InputDevice gives the touchpad a new sysName, as a reboot or
replugging does.
"""
import sys

from gi.repository import Gio, GLib

INTROSPECTION = Gio.DBusNodeInfo.new_for_xml("""
<node>
  <interface name="org.kde.KWin.InputDeviceManager">
    <property name="devicesSysNames" type="as" access="read"/>
  </interface>
  <interface name="org.hushpad.TestHooks">
    <method name="Replug"><arg type="s" direction="in"/></method>
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
DEVICES = {
    "event7": {"sysName": "event7", "name": "SynPS/2 Synaptics TouchPad", "vendor": 0x2,
               "product": 0x7, "touchpad": True, "scrollTwoFinger": True,
               "scrollEdge": True, "tapToClick": True},
    "event3": {"sysName": "event3", "name": "Logitech USB Optical Mouse", "vendor": 0x46d,
               "product": 0xc077, "touchpad": False, "scrollTwoFinger": True,
               "scrollEdge": False, "tapToClick": False},
}
TYPES = {"sysName": "s", "name": "s", "vendor": "u", "product": "u"}
registered = {}
log = open(sys.argv[1], "a", buffering=1)


def device_property(name):
    def get(connection, sender, path, interface, prop):
        value = DEVICES[name].get(prop)
        if value is None:
            return None
        return GLib.Variant(TYPES.get(prop, "b"), value)

    def set_(connection, sender, path, interface, prop, value):
        DEVICES[name][prop] = value.unpack()
        log.write("set %s %s %s\n" % (name, prop, str(value.unpack()).lower()))
        return True
    return get, set_


def export(connection, name):
    get, set_ = device_property(name)
    registered[name] = connection.register_object(
        "/org/kde/KWin/InputDevice/" + name,
        INTROSPECTION.lookup_interface("org.kde.KWin.InputDevice"), None, get, set_)


def on_hook(connection, sender, path, interface, method, args, invocation):
    new_name = args.unpack()[0]
    connection.unregister_object(registered.pop("event7"))
    DEVICES[new_name] = dict(DEVICES.pop("event7"), sysName=new_name)
    export(connection, new_name)
    log.write("replugged %s\n" % new_name)
    invocation.return_value(None)


def on_bus(connection, _name):
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
                 on_bus, on_name, lambda *args: sys.exit(1))
GLib.MainLoop().run()
