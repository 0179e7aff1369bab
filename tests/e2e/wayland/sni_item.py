"""A minimal StatusNotifierItem for the Wayland harness's self-test.

Owns org.kde.StatusNotifierItem-PID-1 on the session bus, serves
/StatusNotifierItem with a 22 x 22 IconPixmap in one solid colour and no menu,
and registers with org.kde.StatusNotifierWatcher. Prints "registered" once the
watcher has it, then one line per call: "Activate X Y", "SecondaryActivate X Y",
"ContextMenu X Y", "Scroll DELTA ORIENTATION".
"""

import os
import sys

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

SIZE = 22
# ARGB32 in network byte order: opaque orange, far from the bar's dark grey.
PIXELS = bytes((0xFF, 0xFF, 0x80, 0x00)) * (SIZE * SIZE)

INTERFACE = """
<node>
  <interface name="org.kde.StatusNotifierItem">
    <property name="Category" type="s" access="read"/>
    <property name="Id" type="s" access="read"/>
    <property name="Title" type="s" access="read"/>
    <property name="Status" type="s" access="read"/>
    <property name="IconName" type="s" access="read"/>
    <property name="IconPixmap" type="a(iiay)" access="read"/>
    <property name="ItemIsMenu" type="b" access="read"/>
    <method name="Activate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="SecondaryActivate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="ContextMenu"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="Scroll"><arg name="delta" type="i" direction="in"/><arg name="orientation" type="s" direction="in"/></method>
    <signal name="NewIcon"/>
    <signal name="NewStatus"><arg name="status" type="s"/></signal>
  </interface>
</node>
"""

PROPERTIES = {
    "Category": GLib.Variant("s", "ApplicationStatus"),
    "Id": GLib.Variant("s", "hushpad-harness-item"),
    "Title": GLib.Variant("s", "Harness item"),
    "Status": GLib.Variant("s", "Active"),
    "IconName": GLib.Variant("s", ""),
    "IconPixmap": GLib.Variant("a(iiay)", [(SIZE, SIZE, PIXELS)]),
    "ItemIsMenu": GLib.Variant("b", False),
}


def say(line):
    print(line, flush=True)


def on_call(connection, sender, path, interface, method, parameters, invocation):
    say(" ".join([method] + [str(value) for value in parameters.unpack()]))
    invocation.return_value(None)


def on_get_property(connection, sender, path, interface, name):
    return PROPERTIES[name]


def main():
    bus = Gio.bus_get_sync(Gio.BusType.SESSION)
    info = Gio.DBusNodeInfo.new_for_xml(INTERFACE).interfaces[0]
    bus.register_object("/StatusNotifierItem", info, on_call, on_get_property, None)
    name = f"org.kde.StatusNotifierItem-{os.getpid()}-1"
    reply = bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                          "RequestName", GLib.Variant("(su)", (name, 4)), None,
                          Gio.DBusCallFlags.NONE, -1, None)
    if reply.unpack()[0] != 1:
        sys.exit(f"could not own {name}")
    bus.call_sync("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
                  "org.kde.StatusNotifierWatcher", "RegisterStatusNotifierItem",
                  GLib.Variant("(s)", (name,)), None, Gio.DBusCallFlags.NONE, -1, None)
    say("registered")
    GLib.MainLoop().run()


if __name__ == "__main__":
    main()
