#!/usr/bin/python3
# A stand-in for KWin's script loader on the session bus, for tests of the window list that asks
# KWin through a script: it owns org.kde.KWin and serves /Scripting (loadScript, unloadScript)
# and the script's own object with run() (KWin 6: /Scripting/Script<id>; KWin 5: /<id>). Running a script runs it under node with a
# `workspace` holding the given windows as KWin 5 or 6 shows them to scripts (5: byte arrays as
# ArrayBuffers, activeClient and clientList(); 6: strings, activeWindow and windowList()), and
# makes the D-Bus calls its callDBus() asked for.
# usage: fake-kwin.py <5|6> '<windows as JSON: KWin's window properties, plus "active">'
#        fake-kwin.py --silent   (scripts never run)
import json
import subprocess
import sys

from gi.repository import Gio, GLib

XML = """<node>
<interface name="org.kde.kwin.Scripting">
  <method name="loadScript"><arg type="s" direction="in"/><arg type="s" direction="in"/>
    <arg type="i" direction="out"/></method>
  <method name="unloadScript"><arg type="s" direction="in"/><arg type="b" direction="out"/></method>
</interface>
<interface name="org.kde.kwin.Script"><method name="run"/></interface>
</node>"""
node = Gio.DBusNodeInfo.new_for_xml(XML)
silent = sys.argv[1] == "--silent"
flavor, windows = (None, None) if silent else sys.argv[1:3]
HARNESS = """
const [file, flavor, listedText] = process.argv.slice(1);
const listed = JSON.parse(listedText);
const bytes = (text) => new TextEncoder().encode(text).buffer;
const windows = listed.map((w) => flavor === "6" ? w : Object.assign({}, w, {
  resourceClass: bytes(w.resourceClass), resourceName: bytes(w.resourceName),
  desktopFileName: bytes(w.desktopFileName)}));
const active = windows.find((w) => w.active) || null;
globalThis.workspace = flavor === "6" ? {activeWindow: active, windowList: () => windows}
                                      : {activeClient: active, clientList: () => windows};
globalThis.callDBus = (...args) => console.log(JSON.stringify(args));
(0, eval)(require("fs").readFileSync(file, "utf8"));
"""
loaded = {}  # plugin name -> (id, file, registration)
next_id = [0]


def script_path(script_id):
    return f"/{script_id}" if flavor == "5" else f"/Scripting/Script{script_id}"


def run(file):
    """The D-Bus calls the script asked for, each [service, path, interface, method, args...]."""
    ran = subprocess.run(["node", "-e", HARNESS, file, flavor, windows], capture_output=True,
                         text=True, timeout=10)
    if ran.returncode != 0:
        print(ran.stderr, file=sys.stderr)
    return [json.loads(line) for line in ran.stdout.splitlines()]


def on_script(conn, sender, path, iface, method, params, invocation):
    invocation.return_value(None)
    if silent:
        return
    for script_id, file, _ in loaded.values():
        if path != script_path(script_id):
            continue
        for service, answer_path, answer_iface, name, *args in run(file):
            conn.call(service, answer_path, answer_iface, name,
                      GLib.Variant("(" + "s" * len(args) + ")", tuple(args)), None,
                      Gio.DBusCallFlags.NONE, 1000, None, None)


def on_scripting(conn, sender, path, iface, method, params, invocation):
    if method == "loadScript":
        file, plugin = params.unpack()
        if plugin in loaded:  # as KWin: a plugin name is loaded once
            invocation.return_value(GLib.Variant("(i)", (-1,)))
            return
        script_id = next_id[0]
        next_id[0] += 1
        registration = conn.register_object(script_path(script_id), node.interfaces[1],
                                            on_script, None, None)
        loaded[plugin] = (script_id, file, registration)
        invocation.return_value(GLib.Variant("(i)", (script_id,)))
    else:
        (plugin,) = params.unpack()
        gone = loaded.pop(plugin, None)
        if gone:
            conn.unregister_object(gone[2])
        invocation.return_value(GLib.Variant("(b)", (gone is not None,)))


def on_bus(conn, name):
    conn.register_object("/Scripting", node.interfaces[0], on_scripting, None, None)


Gio.bus_own_name(Gio.BusType.SESSION, "org.kde.KWin", Gio.BusNameOwnerFlags.NONE, on_bus,
                 None, lambda *a: sys.exit(1))
GLib.MainLoop().run()
