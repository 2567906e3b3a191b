#!/usr/bin/python3
# A stand-in for KWin's script loader on the session bus, for tests of the window list that asks
# KWin through a script: it owns org.kde.KWin and serves /Scripting (loadScript, unloadScript)
# and /Scripting/Script<id> (run) as KWin 6 does. It cannot run JavaScript: running a script
# sends the canned window list to the answer object the script names, as the real script would.
# usage: fake-kwin.py '<windows as JSON>' | fake-kwin.py --silent   (never answers)
import json
import re
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
windows = None if silent else sys.argv[1]
loaded = {}  # plugin name -> (id, file, registration)
next_id = [0]


def target_of(path):
    text = open(path).read()
    found = re.search(r'var SERVICE = ("[^"]*"), PATH = ("[^"]*"), INTERFACE = ("[^"]*");', text)
    return [json.loads(part) for part in found.groups()]


def on_script(conn, sender, path, iface, method, params, invocation):
    invocation.return_value(None)
    if silent:
        return
    for script_id, file, _ in loaded.values():
        if path == f"/Scripting/Script{script_id}":
            service, answer_path, answer_iface = target_of(file)
            conn.call(service, answer_path, answer_iface, "Answer",
                      GLib.Variant("(s)", (windows,)), None, Gio.DBusCallFlags.NONE, 1000,
                      None, None)


def on_scripting(conn, sender, path, iface, method, params, invocation):
    if method == "loadScript":
        file, plugin = params.unpack()
        if plugin in loaded:  # as KWin: a plugin name is loaded once
            invocation.return_value(GLib.Variant("(i)", (-1,)))
            return
        script_id = next_id[0]
        next_id[0] += 1
        registration = conn.register_object(f"/Scripting/Script{script_id}", node.interfaces[1],
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
