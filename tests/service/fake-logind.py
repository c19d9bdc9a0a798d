#!/usr/bin/python3
# A stand-in for logind on a private bus (argv[1]): Inhibit hands out a pipe's
# write end; Held() tells whether any was kept open; Sleep(b) sends PrepareForSleep(b).
import os, select, sys
from gi.repository import Gio, GLib

XML = """<node><interface name="org.freedesktop.login1.Manager">
<method name="Inhibit"><arg type="s"/><arg type="s"/><arg type="s"/><arg type="s"/>
<arg type="h" direction="out"/></method>
<method name="Held"><arg type="b" direction="out"/></method>
<method name="Sleep"><arg type="b"/></method>
<signal name="PrepareForSleep"><arg type="b"/></signal></interface></node>"""
kept = []


def called(bus, sender, path, interface, method, args, invocation):
    if method == "Inhibit":
        ends = os.pipe()
        kept.append(ends[0])
        fds = Gio.UnixFDList.new_from_array([ends[1]])
        invocation.return_value_with_unix_fd_list(GLib.Variant("(h)", (0,)), fds)
    elif method == "Held":
        open_ends = [fd for fd in kept if not select.select([fd], [], [], 0)[0]]
        invocation.return_value(GLib.Variant("(b)", (bool(open_ends),)))
    else:
        bus.emit_signal(None, path, interface, "PrepareForSleep", args)
        invocation.return_value(None)


flags = Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION
bus = Gio.DBusConnection.new_for_address_sync(sys.argv[1], flags, None, None)
bus.register_object("/org/freedesktop/login1", Gio.DBusNodeInfo.new_for_xml(XML).interfaces[0],
                    called, None, None)
bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
              "RequestName", GLib.Variant("(su)", ("org.freedesktop.login1", 0)), None, 0, -1, None)
GLib.MainLoop().run()
