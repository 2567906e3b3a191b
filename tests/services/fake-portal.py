#!/usr/bin/python3
# A stand-in for the desktop portal's remote desktop on the session bus, for tests of the paste
# through it: the real one asks the user, which no test can answer.
# usage: fake-portal.py [--version N] [--consent grant|deny|never] [--devices N]
# Owns org.freedesktop.portal.Desktop and prints "ready", then one line per call it takes:
#   CreateSession | SelectDevices types=<u> persist_mode=<u|-> restore_token=<s|-> | Start
#   key <code> <state> | close request | close session
# Requests answer with a Response signal on the path made of the caller's name and its
# handle_token; with --consent never, Start never answers (a consent dialog left alone). A
# granted Start hands over the devices of --devices (1: the keyboard, 0: none of them).
# A line "drop" on standard input ends every started session (the user stopped the sharing);
# it answers "dropped".
import argparse
import sys

from gi.repository import Gio, GLib

parser = argparse.ArgumentParser()
parser.add_argument("--version", type=int, default=1)
parser.add_argument("--consent", choices=("grant", "deny", "never"), default="grant")
parser.add_argument("--devices", type=int, default=1)
options = parser.parse_args()

PORTAL_PATH = "/org/freedesktop/portal/desktop"
NODE = Gio.DBusNodeInfo.new_for_xml("""
<node>
  <interface name="org.freedesktop.portal.RemoteDesktop">
    <method name="CreateSession">
      <arg type="a{sv}" direction="in"/><arg type="o" direction="out"/>
    </method>
    <method name="SelectDevices">
      <arg type="o" direction="in"/><arg type="a{sv}" direction="in"/>
      <arg type="o" direction="out"/>
    </method>
    <method name="Start">
      <arg type="o" direction="in"/><arg type="s" direction="in"/>
      <arg type="a{sv}" direction="in"/><arg type="o" direction="out"/>
    </method>
    <method name="NotifyKeyboardKeycode">
      <arg type="o" direction="in"/><arg type="a{sv}" direction="in"/>
      <arg type="i" direction="in"/><arg type="u" direction="in"/>
    </method>
    <property name="version" type="u" access="read"/>
  </interface>
  <interface name="org.freedesktop.portal.Request"><method name="Close"/></interface>
  <interface name="org.freedesktop.portal.Session"><method name="Close"/></interface>
</node>""")
REMOTE_DESKTOP, REQUEST, SESSION = NODE.interfaces

started = set()  # sessions whose Start was granted
tokens = 0


def say(line):
    print(line, flush=True)


def element(sender):
    return sender[1:].replace(".", "_")


def respond(conn, sender, handle, code, results):
    def emit():
        conn.emit_signal(sender, handle, REQUEST.name, "Response",
                         GLib.Variant("(ua{sv})", (code, results)))
        return False
    GLib.idle_add(emit)  # after the method's reply, as the real portal does


def open_request(conn, sender, opts):
    handle = f"{PORTAL_PATH}/request/{element(sender)}/{opts['handle_token']}"
    registered = []

    def on_close(conn, sender, path, iface, method, params, invocation):
        say("close request")
        conn.unregister_object(registered[0])
        invocation.return_value(None)
    registered.append(conn.register_object(handle, REQUEST, on_close, None, None))
    return handle


def on_call(conn, sender, path, iface, method, params, invocation):
    global tokens
    args = params.unpack()
    if method == "CreateSession":
        say("CreateSession")
        opts = args[0]
        handle = open_request(conn, sender, opts)
        session = f"{PORTAL_PATH}/session/{element(sender)}/{opts['session_handle_token']}"

        def on_session(conn, _sender, path, iface, method, params, invocation):
            say("close session")
            started.discard(path)
            invocation.return_value(None)
        conn.register_object(session, SESSION, on_session, None, None)
        invocation.return_value(GLib.Variant("(o)", (handle,)))
        respond(conn, sender, handle, 0, {"session_handle": GLib.Variant("s", session)})
    elif method == "SelectDevices":
        opts = args[1]
        say(f"SelectDevices types={opts.get('types', '-')} "
            f"persist_mode={opts.get('persist_mode', '-')} "
            f"restore_token={opts.get('restore_token', '-')}")
        handle = open_request(conn, sender, opts)
        invocation.return_value(GLib.Variant("(o)", (handle,)))
        respond(conn, sender, handle, 0, {})
    elif method == "Start":
        say("Start")
        session, opts = args[0], args[2]
        handle = open_request(conn, sender, opts)
        invocation.return_value(GLib.Variant("(o)", (handle,)))
        if options.consent == "grant":
            started.add(session)
            results = {"devices": GLib.Variant("u", options.devices)}
            if options.version >= 2:
                tokens += 1
                results["restore_token"] = GLib.Variant("s", f"token{tokens}")
            respond(conn, sender, handle, 0, results)
        elif options.consent == "deny":
            respond(conn, sender, handle, 1, {})
    elif method == "NotifyKeyboardKeycode":
        if args[0] not in started:
            invocation.return_dbus_error("org.freedesktop.DBus.Error.AccessDenied",
                                         "session not started")
            return
        say(f"key {args[2]} {args[3]}")
        invocation.return_value(None)


def on_property(conn, sender, path, iface, name):
    return GLib.Variant("u", options.version)


def on_input(channel, condition):
    line = sys.stdin.readline()
    if not line:
        return False
    if line.strip() == "drop":
        started.clear()
        say("dropped")
    return True


def on_bus(conn, name):
    conn.register_object(PORTAL_PATH, REMOTE_DESKTOP, on_call, on_property, None)


Gio.bus_own_name(Gio.BusType.SESSION, "org.freedesktop.portal.Desktop",
                 Gio.BusNameOwnerFlags.NONE, on_bus, lambda *_: say("ready"),
                 lambda *_: sys.exit(1))
GLib.io_add_watch(GLib.IOChannel.unix_new(0), GLib.PRIORITY_DEFAULT,
                  GLib.IOCondition.IN | GLib.IOCondition.HUP, on_input)
GLib.MainLoop().run()
