#!/usr/bin/python3
"""The system services GNOME Shell asks for at start, on a private system bus
(DBUS_SYSTEM_BUS_ADDRESS): a minimal logind (org.freedesktop.login1: one
active session, "c1", and its user) and GDM's manager object, whose Version
property makes the Shell build its lock screen. Every call is appended to LOG.

    system_standins.py LOG

GDM's OpenReauthenticationChannel is never answered: an error makes the
unlock dialog of GNOME Shell 43 ask again at once, in a tight loop.
"""
import os
import sys

from gi.repository import Gio, GLib

SESSION = "/org/freedesktop/login1/session/c1"
USER = "/org/freedesktop/login1/user/self"
XML = """
<node>
  <interface name="org.freedesktop.login1.Manager">
    <method name="GetSession"><arg type="s" direction="in"/><arg type="o" direction="out"/></method>
    <method name="GetSessionByPID"><arg type="u" direction="in"/><arg type="o" direction="out"/></method>
    <method name="ListSessions"><arg type="a(susso)" direction="out"/></method>
    <method name="CanSuspend"><arg type="s" direction="out"/></method>
    <method name="CanRebootToBootLoaderMenu"><arg type="s" direction="out"/></method>
    <method name="Inhibit">
      <arg type="s" direction="in"/><arg type="s" direction="in"/>
      <arg type="s" direction="in"/><arg type="s" direction="in"/>
      <arg type="h" direction="out"/>
    </method>
    <signal name="PrepareForSleep"><arg type="b"/></signal>
  </interface>
  <interface name="org.freedesktop.login1.Session">
    <property name="Id" type="s" access="read"/>
    <property name="Active" type="b" access="read"/>
    <property name="LockedHint" type="b" access="read"/>
    <property name="Remote" type="b" access="read"/>
    <property name="Class" type="s" access="read"/>
    <property name="Type" type="s" access="read"/>
    <property name="State" type="s" access="read"/>
    <property name="Name" type="s" access="read"/>
    <method name="SetLockedHint"><arg type="b" direction="in"/></method>
    <method name="Activate"/>
    <signal name="Lock"/>
    <signal name="Unlock"/>
  </interface>
  <interface name="org.freedesktop.login1.User">
    <property name="Display" type="(so)" access="read"/>
    <property name="Sessions" type="a(so)" access="read"/>
  </interface>
  <interface name="org.gnome.DisplayManager.Manager">
    <property name="Version" type="s" access="read"/>
    <method name="OpenReauthenticationChannel">
      <arg type="s" direction="in"/><arg type="s" direction="out"/>
    </method>
    <method name="OpenSession"><arg type="s" direction="out"/></method>
  </interface>
</node>
"""


def main():
    log = open(sys.argv[1], "a", buffering=1)
    info = Gio.DBusNodeInfo.new_for_xml(XML)
    bus = Gio.bus_get_sync(Gio.BusType.SYSTEM)
    locked = [False]
    pending = []  # reauthentication calls left unanswered on purpose
    user = os.environ.get("USER", "nobody")

    def prop(_c, _s, _path, interface, name):
        values = {
            "Id": GLib.Variant("s", "c1"), "Active": GLib.Variant("b", True),
            "LockedHint": GLib.Variant("b", locked[0]), "Remote": GLib.Variant("b", False),
            "Class": GLib.Variant("s", "user"), "Type": GLib.Variant("s", "wayland"),
            "State": GLib.Variant("s", "active"), "Name": GLib.Variant("s", user),
            "Display": GLib.Variant("(so)", ("c1", SESSION)),
            "Sessions": GLib.Variant("a(so)", [("c1", SESSION)]),
            "Version": GLib.Variant("s", "43.0"),
        }
        return values.get(name)

    def call(_c, sender, path, interface, method, args, invocation):
        log.write(f"{method} {args.unpack()}\n")
        if method in ("GetSession", "GetSessionByPID"):
            invocation.return_value(GLib.Variant("(o)", (SESSION,)))
        elif method == "ListSessions":
            invocation.return_value(GLib.Variant(
                "(a(susso))", ([("c1", os.getuid(), user, "seat0", SESSION)],)))
        elif method in ("CanSuspend", "CanRebootToBootLoaderMenu"):
            invocation.return_value(GLib.Variant("(s)", ("na",)))
        elif method == "Inhibit":
            read_end, write_end = os.pipe()
            os.close(read_end)
            fds = Gio.UnixFDList.new_from_array([write_end])
            invocation.return_value_with_unix_fd_list(GLib.Variant("(h)", (0,)), fds)
        elif method == "SetLockedHint":
            locked[0] = args.unpack()[0]
            invocation.return_value(None)
        elif method == "OpenReauthenticationChannel":
            pending.append(invocation)
        else:
            invocation.return_value(None)

    objects = [("/org/freedesktop/login1", 0), (SESSION, 1), (USER, 2),
               ("/org/gnome/DisplayManager/Manager", 3)]
    for path, index in objects:
        bus.register_object(path, info.interfaces[index], call, prop, None)
    names = ["org.freedesktop.login1", "org.gnome.DisplayManager"]
    owned = []
    loop = GLib.MainLoop()
    for name in names:
        Gio.bus_own_name_on_connection(
            bus, name, Gio.BusNameOwnerFlags.NONE,
            lambda _c, n: (owned.append(n), len(owned) == len(names) and print("ready", flush=True)),
            lambda _c, n: loop.quit())
    loop.run()


if __name__ == "__main__":
    main()
