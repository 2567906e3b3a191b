#!/usr/bin/python3
# Stands in for the keyboard a real GNOME seat has: a headless mutter focuses no window until its
# seat has a keyboard. Opens a session of mutter's RemoteDesktop service, presses and releases
# Shift once (mutter adds the seat keyboard on the first event), prints "ready" and keeps the
# session until it is killed.
import signal
import time

from gi.repository import Gio, GLib

bus = Gio.bus_get_sync(Gio.BusType.SESSION)


def call(path, interface, method, args=None, reply=None):
    return bus.call_sync("org.gnome.Mutter.RemoteDesktop", path, interface, method, args,
                         GLib.VariantType(reply) if reply else None, Gio.DBusCallFlags.NONE,
                         5000, None)


session = call("/org/gnome/Mutter/RemoteDesktop", "org.gnome.Mutter.RemoteDesktop",
               "CreateSession", None, "(o)").unpack()[0]
SESSION = "org.gnome.Mutter.RemoteDesktop.Session"
call(session, SESSION, "Start")
for down in (True, False):
    call(session, SESSION, "NotifyKeyboardKeycode", GLib.Variant("(ub)", (42, down)))
time.sleep(0.5)
print("ready", flush=True)
signal.signal(signal.SIGTERM, lambda *_: exit(0))
while True:
    time.sleep(3600)
