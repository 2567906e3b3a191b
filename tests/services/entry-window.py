#!/usr/bin/python3
# A GTK window with a plain entry and a password entry, for landing tests on any display.
# Prints "ready" once shown, then every change of an entry's text as
#   changed <plain|secret> '<text>'
# usage: entry-window.py [plain|secret]   (the entry that takes focus)
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import Gtk  # noqa: E402

focus = sys.argv[1] if len(sys.argv) > 1 else "plain"
window = Gtk.Window(title="landing-target")
box = Gtk.Box(orientation=Gtk.Orientation.VERTICAL)
entries = {}
for name in ("plain", "secret"):
    entry = Gtk.Entry()
    entry.set_name(name)
    if name == "secret":
        entry.set_visibility(False)
        entry.set_input_purpose(Gtk.InputPurpose.PASSWORD)
    entry.get_accessible().set_name(name)
    entry.connect("changed", lambda e, n=name: print(f"changed {n} {e.get_text()!r}", flush=True))
    box.pack_start(entry, False, False, 0)
    entries[name] = entry
window.add(box)
window.connect("destroy", Gtk.main_quit)
window.show_all()
entries[focus].grab_focus()
print("ready", flush=True)
Gtk.main()
