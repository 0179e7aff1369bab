#!/usr/bin/python3
"""A StatusNotifierWatcher that says it has a host but refuses every item, for
the end-to-end tests: the item must then fall back to the tray icon.

    refusing_watcher.py LOG

Owns org.kde.StatusNotifierWatcher on the session bus. LOG gets "ready", then
"refused NAME" for each RegisterStatusNotifierItem.
"""
import sys

from gi.repository import Gio, GLib

INTROSPECTION = Gio.DBusNodeInfo.new_for_xml("""
<node>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem"><arg type="s" direction="in"/></method>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
  </interface>
</node>""")
log = open(sys.argv[1], "a", buffering=1)


def on_call(connection, sender, path, interface, method, args, invocation):
    log.write("refused %s\n" % args.unpack()[0])
    invocation.return_dbus_error("org.freedesktop.DBus.Error.AccessDenied", "no items here")


def on_get(connection, sender, path, interface, prop):
    return {"IsStatusNotifierHostRegistered": GLib.Variant("b", True),
            "RegisteredStatusNotifierItems": GLib.Variant("as", []),
            "ProtocolVersion": GLib.Variant("i", 0)}[prop]


def on_bus(connection, _name):
    connection.register_object("/StatusNotifierWatcher",
                               INTROSPECTION.lookup_interface("org.kde.StatusNotifierWatcher"),
                               on_call, on_get, None)


Gio.bus_own_name(Gio.BusType.SESSION, "org.kde.StatusNotifierWatcher",
                 Gio.BusNameOwnerFlags.NONE, on_bus,
                 lambda *args: log.write("ready\n"), lambda *args: sys.exit(1))
GLib.MainLoop().run()
