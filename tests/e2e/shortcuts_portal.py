#!/usr/bin/python3
"""A stand-in for the desktop portal's GlobalShortcuts
(org.freedesktop.portal.Desktop) on the test's own session bus: a real D-Bus
service that records what it is asked and lets the test press a shortcut.

    shortcuts_portal.py LOG

Each line it appends to LOG:
    register APP_ID                  the host Registry's Register
    session HANDLE                   CreateSession, answered on its Request
    bind ID TRIGGER DESCRIPTION      one shortcut of BindShortcuts (TRIGGER the preferred one)
Test hooks (interface org.hushpad.TestHooks on /org/freedesktop/portal/desktop):
    Press(s)                 Activated then Deactivated for that shortcut id of the
                             last session
"""
import sys

from gi.repository import Gio, GLib

PATH = "/org/freedesktop/portal/desktop"
INTROSPECTION = Gio.DBusNodeInfo.new_for_xml("""
<node>
  <interface name="org.freedesktop.portal.GlobalShortcuts">
    <method name="CreateSession">
      <arg type="a{sv}" direction="in"/><arg type="o" direction="out"/>
    </method>
    <method name="BindShortcuts">
      <arg type="o" direction="in"/><arg type="a(sa{sv})" direction="in"/>
      <arg type="s" direction="in"/><arg type="a{sv}" direction="in"/>
      <arg type="o" direction="out"/>
    </method>
    <signal name="Activated">
      <arg type="o"/><arg type="s"/><arg type="t"/><arg type="a{sv}"/>
    </signal>
    <signal name="Deactivated">
      <arg type="o"/><arg type="s"/><arg type="t"/><arg type="a{sv}"/>
    </signal>
    <property name="version" type="u" access="read"/>
  </interface>
  <interface name="org.freedesktop.host.portal.Registry">
    <method name="Register"><arg type="s" direction="in"/><arg type="a{sv}" direction="in"/></method>
  </interface>
  <interface name="org.hushpad.TestHooks">
    <method name="Press"><arg type="s" direction="in"/></method>
  </interface>
</node>""")


def main():
    log = open(sys.argv[1], "a", buffering=1)
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    sessions = []

    def request_path(sender, token):
        return "%s/request/%s/%s" % (PATH, sender[1:].replace(".", "_"), token)

    def respond(connection, sender, path, results):
        # After the reply, as the real portal answers.
        def emit():
            connection.emit_signal(sender, path, "org.freedesktop.portal.Request", "Response",
                                   GLib.Variant("(ua{sv})", (0, results)))
            return GLib.SOURCE_REMOVE
        GLib.idle_add(emit)

    def on_call(connection, sender, _path, _interface, method, args, invocation):
        if method == "Register":
            log.write("register %s\n" % args.unpack()[0])
            invocation.return_value(None)
        elif method == "CreateSession":
            options = args.unpack()[0]
            path = request_path(sender, options.get("handle_token", "t"))
            session = "%s/session/%s/%s" % (PATH, sender[1:].replace(".", "_"),
                                            options.get("session_handle_token", "s"))
            sessions.append((sender, session))
            log.write("session %s\n" % session)
            invocation.return_value(GLib.Variant("(o)", (path,)))
            respond(connection, sender, path, {"session_handle": GLib.Variant("s", session)})
        elif method == "BindShortcuts":
            session, shortcuts, _parent, options = args.unpack()
            for shortcut_id, properties in shortcuts:
                log.write("bind %s %s %s\n" % (shortcut_id, properties.get("preferred_trigger", "-"),
                                               properties.get("description", "-")))
            path = request_path(sender, options.get("handle_token", "t"))
            invocation.return_value(GLib.Variant("(o)", (path,)))
            respond(connection, sender, path, {})
        elif method == "Press":
            sender, session = sessions[-1]
            for signal in ("Activated", "Deactivated"):
                connection.emit_signal(sender, PATH, "org.freedesktop.portal.GlobalShortcuts",
                                       signal, GLib.Variant("(osta{sv})",
                                                            (session, args.unpack()[0], 0, {})))
            invocation.return_value(None)

    def get_property(*_):
        return GLib.Variant("u", 1)

    for interface in INTROSPECTION.interfaces:
        bus.register_object(PATH, interface, on_call, get_property, None)
    Gio.bus_own_name_on_connection(bus, "org.freedesktop.portal.Desktop",
                                   Gio.BusNameOwnerFlags.NONE, None,
                                   lambda *_: sys.exit("the name is taken"))
    GLib.MainLoop().run()


if __name__ == "__main__":
    main()
