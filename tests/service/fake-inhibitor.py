#!/usr/bin/python3
# A stand-in for a desktop's suspend inhibitor on a private bus:
#   fake-inhibitor.py ADDRESS portal|gnome|kde [--refuse] [--late-ms N]
# Prints one line per request, "inhibit <what was asked> -> held N" or
# "release -> held N" (N: the holds it keeps now), as it happens. --refuse
# answers every Inhibit with an error; --late-ms answers it N ms late. Like the
# real ones, it drops the holds of a client that leaves the bus ("vanished").
import sys
from gi.repository import Gio, GLib

WHICH = sys.argv[2]
REFUSE = "--refuse" in sys.argv
LATE_MS = int(sys.argv[sys.argv.index("--late-ms") + 1]) if "--late-ms" in sys.argv else 0
NAME, PATH, IFACE, INHIBIT, RELEASE = {
    "portal": ("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
               "org.freedesktop.portal.Inhibit", '<arg type="s"/><arg type="u"/><arg type="a{sv}"/>'
               '<arg type="o" direction="out"/>', None),
    "gnome": ("org.gnome.SessionManager", "/org/gnome/SessionManager", "org.gnome.SessionManager",
              '<arg type="s"/><arg type="u"/><arg type="s"/><arg type="u"/>'
              '<arg type="u" direction="out"/>', "Uninhibit"),
    "kde": ("org.freedesktop.PowerManagement", "/org/freedesktop/PowerManagement/Inhibit",
            "org.freedesktop.PowerManagement.Inhibit",
            '<arg type="s"/><arg type="s"/><arg type="u" direction="out"/>', "UnInhibit"),
}[WHICH]


def interface(name, methods):
    return Gio.DBusNodeInfo.new_for_xml(f'<node><interface name="{name}">{methods}</interface></node>'
                                        ).interfaces[0]


MAIN = interface(IFACE, f'<method name="Inhibit">{INHIBIT}</method>' +
                 (f'<method name="{RELEASE}"><arg type="u"/></method>' if RELEASE else ""))
REQUEST = interface("org.freedesktop.portal.Request", '<method name="Close"/>')
holds = {}  # cookie -> (owner, registration of the portal's request object)
counter = [0]


def say(line):
    print(f"{line} -> held {len(holds)}", flush=True)


def drop(cookie):
    _, registration = holds.pop(cookie)
    if registration:
        bus.unregister_object(registration)


def inhibit(sender, args, invocation):
    if REFUSE:
        invocation.return_dbus_error("org.freedesktop.DBus.Error.AccessDenied", "refused here")
        say("refused " + repr(args))
        return False
    counter[0] += 1
    cookie = counter[0]
    registration = None
    if WHICH == "portal":
        path = f"/org/freedesktop/portal/desktop/request/{sender[1:].replace('.', '_')}/t{cookie}"
        registration = bus.register_object(
            path, REQUEST, lambda b, s, p, i, m, a, inv: (drop(cookie), say("release"),
                                                        inv.return_value(None)), None, None)
        reply = GLib.Variant("(o)", (path,))
    else:
        reply = GLib.Variant("(u)", (cookie,))
    holds[cookie] = (sender, registration)
    say("inhibit " + repr(args))
    invocation.return_value(reply)
    return False


def called(bus, sender, path, iface, method, args, invocation):
    if method == "Inhibit":
        if LATE_MS:
            GLib.timeout_add(LATE_MS, inhibit, sender, args.unpack(), invocation)
        else:
            inhibit(sender, args.unpack(), invocation)
        return
    cookie = args.unpack()[0]
    if cookie in holds:
        drop(cookie)
    say("release")
    invocation.return_value(None)


def owner_changed(bus, sender, path, iface, signal, args):
    name, _, new = args.unpack()
    gone = [c for c, (owner, _) in holds.items() if owner == name and not new]
    for cookie in gone:
        drop(cookie)
    if gone:
        say("vanished")


flags = Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION
bus = Gio.DBusConnection.new_for_address_sync(sys.argv[1], flags, None, None)
bus.register_object(PATH, MAIN, called, None, None)
bus.signal_subscribe("org.freedesktop.DBus", "org.freedesktop.DBus", "NameOwnerChanged",
                     "/org/freedesktop/DBus", None, Gio.DBusSignalFlags.NONE, owner_changed)
bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
              "RequestName", GLib.Variant("(su)", (NAME, 0)), None, 0, -1, None)
print("ready", flush=True)
GLib.MainLoop().run()
