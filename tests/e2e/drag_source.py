"""drag_source.py X Y HEX... - a GTK 3 window at X,Y that offers the paths (their bytes in hex) as
text/uri-list when dragged from, as a file manager of another toolkit does. Quits after the drop or
after 60 s."""
import sys
import urllib.parse

import gi

gi.require_version("Gtk", "3.0")
gi.require_version("Gdk", "3.0")
from gi.repository import GLib, Gdk, Gtk  # noqa: E402

uris = ["file://" + urllib.parse.quote(bytes.fromhex(p)) for p in sys.argv[3:]]

window = Gtk.Window(title="gtk-drag-source")
window.set_default_size(160, 160)
window.move(int(sys.argv[1]), int(sys.argv[2]))
area = Gtk.EventBox()
area.add(Gtk.Label(label="drag me"))
window.add(area)
area.drag_source_set(Gdk.ModifierType.BUTTON1_MASK, [Gtk.TargetEntry.new("text/uri-list", 0, 0)],
                     Gdk.DragAction.COPY)


def data_get(_widget, _context, selection, _info, _time):
    selection.set_uris(uris)


area.connect("drag-data-get", data_get)
area.connect("drag-end", lambda *_: GLib.timeout_add(500, Gtk.main_quit))
window.connect("destroy", Gtk.main_quit)
window.show_all()
GLib.timeout_add_seconds(60, Gtk.main_quit)
Gtk.main()
