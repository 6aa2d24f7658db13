#!/usr/bin/python3
# A stand-in for the freedesktop settings portal on the tests' session bus: answers the colour
# scheme it was started with, prints "ready" once it owns the portal's name, and announces each
# new scheme read from standard input (0 none, 1 dark, 2 light), as a desktop would on a switch.
import sys

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

INTERFACE = """<node><interface name="org.freedesktop.portal.Settings">
  <method name="Read"><arg type="s" direction="in"/><arg type="s" direction="in"/>
    <arg type="v" direction="out"/></method>
  <signal name="SettingChanged"><arg type="s"/><arg type="s"/><arg type="v"/></signal>
</interface></node>"""
PATH = "/org/freedesktop/portal/desktop"
scheme = int(sys.argv[1])
bus = Gio.bus_get_sync(Gio.BusType.SESSION)


def on_call(connection, sender, path, interface, method, parameters, invocation):
    if parameters.unpack() == ("org.freedesktop.appearance", "color-scheme"):
        # Read answers the value wrapped once more, as the portal's first version did.
        invocation.return_value(GLib.Variant("(v)", (GLib.Variant("v", GLib.Variant("u", scheme)),)))
    else:
        invocation.return_dbus_error("org.freedesktop.portal.Error.NotFound", "no such setting")


def on_line(source, condition):
    global scheme
    line = sys.stdin.readline()
    if not line:
        loop.quit()
        return False
    scheme = int(line)
    bus.emit_signal(None, PATH, "org.freedesktop.portal.Settings", "SettingChanged",
                    GLib.Variant("(ssv)", ("org.freedesktop.appearance", "color-scheme",
                                           GLib.Variant("u", scheme))))
    return True


node = Gio.DBusNodeInfo.new_for_xml(INTERFACE)
bus.register_object(PATH, node.interfaces[0], on_call, None, None)
Gio.bus_own_name_on_connection(bus, "org.freedesktop.portal.Desktop", Gio.BusNameOwnerFlags.NONE,
                               lambda *_: print("ready", flush=True), None)
GLib.io_add_watch(sys.stdin, GLib.IO_IN | GLib.IO_HUP, on_line)
loop = GLib.MainLoop()
loop.run()
