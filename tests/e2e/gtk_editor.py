#!/usr/bin/python3
# A GTK 3 text window with its first line selected, for reading a native Wayland window:
#   gtk_editor.py FILE TITLE
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import Gtk  # noqa: E402

win = Gtk.Window(title=sys.argv[2])
win.set_default_size(700, 300)
view = Gtk.TextView()
buf = view.get_buffer()
with open(sys.argv[1], encoding="utf-8") as f:
    buf.set_text(f.read())
start = buf.get_start_iter()
end = start.copy()
end.forward_to_line_end()
buf.select_range(start, end)
scroll = Gtk.ScrolledWindow()
scroll.add(view)
win.add(scroll)
win.connect("destroy", Gtk.main_quit)
win.show_all()
view.grab_focus()
Gtk.main()
