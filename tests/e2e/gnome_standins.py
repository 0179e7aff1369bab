#!/usr/bin/python3
"""Stand-ins for GNOME's idle lock on X11, for the end-to-end tests.

    gnome_standins.py session-manager [--impostor]
        Owns org.gnome.SessionManager on the session bus with its Presence
        object; the test hook GoIdle() emits Presence.StatusChanged(3), idle.
        It names its process gnome-session, as the real one is named; an
        impostor keeps the name python3.
    gnome_standins.py locker LOG
        Waits for the session to go idle, then, after the fade a shield
        shows first (1 s), tries ONE grab of the keyboard and the pointer, as
        GNOME Shell does, and gives up if it fails. Appends "grabbed" or
        "could not grab" to LOG; holds a grab it got until it is ended.
"""
import sys

import gi

gi.require_version("Gdk", "3.0")
gi.require_version("Gtk", "3.0")
from gi.repository import Gdk, Gio, GLib, Gtk  # noqa: E402

PRESENCE = "/org/gnome/SessionManager/Presence"
INTROSPECTION = Gio.DBusNodeInfo.new_for_xml("""
<node>
  <interface name="org.gnome.SessionManager.Presence">
    <signal name="StatusChanged"><arg type="u"/></signal>
    <method name="GoIdle"/>
  </interface>
</node>""")
IDLE = 3


def session_manager(impostor):
    if not impostor:
        with open("/proc/self/comm", "w") as comm:
            comm.write("gnome-session-binary")
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)

    def on_call(connection, _sender, path, interface, _method, _args, invocation):
        connection.emit_signal(None, path, interface, "StatusChanged", GLib.Variant("(u)", (IDLE,)))
        invocation.return_value(None)

    bus.register_object(PRESENCE, INTROSPECTION.interfaces[0], on_call, None, None)
    Gio.bus_own_name_on_connection(bus, "org.gnome.SessionManager", Gio.BusNameOwnerFlags.NONE,
                                   None, lambda *_: sys.exit("the name is taken"))
    GLib.MainLoop().run()


def locker(log_path):
    log = open(log_path, "a", buffering=1)
    Gtk.init(None)
    shield = Gtk.Window(type=Gtk.WindowType.POPUP)
    shield.move(0, 0)
    shield.resize(10, 10)
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)

    def try_once():
        shield.show()
        status = Gdk.Display.get_default().get_default_seat().grab(
            shield.get_window(), Gdk.SeatCapabilities.ALL, False, None, None, None, None)
        if status == Gdk.GrabStatus.SUCCESS:
            log.write("grabbed\n")
        else:
            log.write("could not grab\n")
            Gtk.main_quit()
        return GLib.SOURCE_REMOVE

    def on_status(_bus, _sender, _path, _interface, _signal, args):
        if args.unpack()[0] == IDLE:
            GLib.timeout_add(1000, try_once)

    bus.signal_subscribe("org.gnome.SessionManager", "org.gnome.SessionManager.Presence",
                         "StatusChanged", PRESENCE, None, Gio.DBusSignalFlags.NONE, on_status)
    log.write("waiting\n")
    Gtk.main()


if __name__ == "__main__":
    if sys.argv[1] == "session-manager":
        session_manager("--impostor" in sys.argv[2:])
    else:
        locker(sys.argv[2])
