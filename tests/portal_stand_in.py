#!/usr/bin/python3
"""A desktop portal's file chooser for tests/portal_test.cc, on the bus of
DBUS_SESSION_BUS_ADDRESS.

Usage: portal_stand_in.py VERSION MODE RESPONSE RESULTS [BUS_PID]

Owns org.freedesktop.portal.Desktop and offers FileChooser version VERSION.
Writes "ready" to descriptor 3 once it owns the name, then for every OpenFile
one line: the parent window, the title and the options (without the token),
keys sorted. It answers on the request path made from the caller's unique
name and handle_token with RESPONSE and RESULTS (a Python expression; U(...)
makes the uris, F(name, *globs) a filter). MODE says when:
  answer   after the method's reply
  at-once  before the method's reply, as a fast portal may
  refuse   not at all: the method fails
  vanish   not at all: the stand-in leaves the bus after the reply
  kill-bus not at all: the bus daemon BUS_PID is ended after the reply
"""
import os
import signal
import sys

import dbus
import dbus.lowlevel
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib


def U(*uris):
    return dbus.Array(uris, signature="s")


def F(name, *globs):
    rules = [dbus.Struct((dbus.UInt32(0), g), signature="us") for g in globs]
    return dbus.Struct((name, dbus.Array(rules, signature="(us)")), signature="sa(us)")


def plain(v):
    if isinstance(v, (bytes, dbus.ByteArray)):
        return bytes(v)
    if isinstance(v, dbus.Boolean):
        return bool(v)
    if isinstance(v, dbus.Dictionary):
        return "{" + ", ".join(f"{str(k)!r}: {plain(x)!r}" for k, x in sorted(v.items())) + "}"
    if isinstance(v, (dbus.Array, list)):
        return [plain(x) for x in v]
    if isinstance(v, (dbus.Struct, tuple)):
        return tuple(plain(x) for x in v)
    if isinstance(v, (dbus.String, dbus.ObjectPath)):
        return str(v)
    if isinstance(v, int):
        return int(v)
    return v


version, mode, response = int(sys.argv[1]), sys.argv[2], int(sys.argv[3])
results = eval(sys.argv[4], {"dbus": dbus, "U": U, "F": F})
out = os.fdopen(3, "w", buffering=1)
DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
loop = GLib.MainLoop()


def respond(path, sender):
    msg = dbus.lowlevel.SignalMessage(path, "org.freedesktop.portal.Request", "Response")
    msg.set_destination(sender)
    msg.append(dbus.UInt32(response), results, signature="ua{sv}")
    bus.send_message(msg)
    return False


class Portal(dbus.service.Object):
    @dbus.service.method("org.freedesktop.portal.FileChooser", in_signature="ssa{sv}",
                         out_signature="o", sender_keyword="sender", byte_arrays=True)
    def OpenFile(self, parent, title, options, sender):
        token = str(options.pop("handle_token", ""))
        path = "/org/freedesktop/portal/desktop/request/%s/%s" % (
            sender[1:].replace(".", "_"), token)
        print(f"{str(parent)} | {str(title)} | {plain(options)}", file=out)
        if mode == "refuse":
            raise dbus.exceptions.DBusException(
                "no chooser", name="org.freedesktop.portal.Error.NotAllowed")
        if mode == "at-once":
            respond(path, sender)
        elif mode == "answer":
            GLib.timeout_add(20, respond, path, sender)
        elif mode == "vanish":
            GLib.timeout_add(20, loop.quit)
        elif mode == "kill-bus":
            GLib.timeout_add(20, lambda: os.kill(int(sys.argv[5]), signal.SIGTERM))
        return dbus.ObjectPath(path)

    @dbus.service.method("org.freedesktop.DBus.Properties", in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        if interface == "org.freedesktop.portal.FileChooser" and name == "version":
            return dbus.UInt32(version)
        raise dbus.exceptions.DBusException(
            "no such property", name="org.freedesktop.DBus.Error.UnknownProperty")


portal = Portal(bus, "/org/freedesktop/portal/desktop")
owned = dbus.service.BusName("org.freedesktop.portal.Desktop", bus)
print("ready", file=out)
bus.call_on_disconnection(lambda _: loop.quit())
loop.run()
