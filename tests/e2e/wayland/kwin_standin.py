#!/usr/bin/python3
"""A stand-in for KWin's input devices (org.kde.KWin on the session bus), for
the end-to-end tests: a real D-Bus service with KWin's object paths,
interfaces and properties, whose settings the tests read back.

    kwin_standin.py LOG

/org/kde/KWin/InputDevice (org.kde.KWin.InputDeviceManager) lists two
devices: event7, a touchpad with two-finger and edge scrolling on and
tap-to-click on, and event3, a mouse. Each device is
/org/kde/KWin/InputDevice/<name> (org.kde.KWin.InputDevice); its settings are
writable properties. LOG gets "ready", then "set DEVICE PROPERTY VALUE" per write.
"""
import sys

from gi.repository import Gio, GLib

INTROSPECTION = Gio.DBusNodeInfo.new_for_xml("""
<node>
  <interface name="org.kde.KWin.InputDeviceManager">
    <property name="devicesSysNames" type="as" access="read"/>
  </interface>
  <interface name="org.kde.KWin.InputDevice">
    <property name="sysName" type="s" access="read"/>
    <property name="touchpad" type="b" access="read"/>
    <property name="scrollTwoFinger" type="b" access="readwrite"/>
    <property name="scrollEdge" type="b" access="readwrite"/>
    <property name="tapToClick" type="b" access="readwrite"/>
  </interface>
</node>""")
DEVICES = {
    "event7": {"sysName": "event7", "touchpad": True, "scrollTwoFinger": True,
               "scrollEdge": True, "tapToClick": True},
    "event3": {"sysName": "event3", "touchpad": False, "scrollTwoFinger": True,
               "scrollEdge": False, "tapToClick": False},
}
log = open(sys.argv[1], "a", buffering=1)


def device_property(name):
    def get(connection, sender, path, interface, prop):
        value = DEVICES[name].get(prop)
        if value is None:
            return None
        return GLib.Variant("s" if isinstance(value, str) else "b", value)

    def set_(connection, sender, path, interface, prop, value):
        DEVICES[name][prop] = value.unpack()
        log.write("set %s %s %s\n" % (name, prop, str(value.unpack()).lower()))
        return True
    return get, set_


def on_bus(connection, _name):
    manager = INTROSPECTION.lookup_interface("org.kde.KWin.InputDeviceManager")
    connection.register_object(
        "/org/kde/KWin/InputDevice", manager, None,
        lambda *args: GLib.Variant("as", sorted(DEVICES)), None)
    device = INTROSPECTION.lookup_interface("org.kde.KWin.InputDevice")
    for name in DEVICES:
        get, set_ = device_property(name)
        connection.register_object("/org/kde/KWin/InputDevice/" + name, device, None, get, set_)


def on_name(_connection, _name):
    log.write("ready\n")


Gio.bus_own_name(Gio.BusType.SESSION, "org.kde.KWin", Gio.BusNameOwnerFlags.NONE,
                 on_bus, on_name, lambda *args: sys.exit(1))
GLib.MainLoop().run()
