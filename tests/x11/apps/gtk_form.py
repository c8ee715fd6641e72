#!/usr/bin/python3
# A small GTK 3 form for the accessibility tests: an entry, a button that
# copies the entry's text into a label and prints it, and a read-only label.
# Usage: gtk_form.py TITLE [EXTRA_BUTTONS]
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import GLib, Gtk  # noqa: E402


def main():
    title = sys.argv[1] if len(sys.argv) > 1 else "gtk form"
    extra = int(sys.argv[2]) if len(sys.argv) > 2 else 0
    window = Gtk.Window(title=title)
    window.set_wmclass("gtkform", "GtkForm")
    box = Gtk.Box(orientation=Gtk.Orientation.VERTICAL)
    entry = Gtk.Entry()
    result = Gtk.Label(label="none")
    button = Gtk.Button(label="Submit")

    def submitted(_button):
        result.set_text("got:" + entry.get_text())
        print("clicked:" + entry.get_text(), flush=True)

    button.connect("clicked", submitted)
    box.pack_start(entry, False, False, 0)
    box.pack_start(button, False, False, 0)
    box.pack_start(result, False, False, 0)
    if extra:
        # Many controls for the search benchmark, in a scrolled grid.
        grid = Gtk.Grid()
        for i in range(extra):
            grid.attach(Gtk.Button(label="b%d" % i), i % 20, i // 20, 1, 1)
        scrolled = Gtk.ScrolledWindow()
        scrolled.set_min_content_height(200)
        scrolled.add(grid)
        box.pack_start(scrolled, True, True, 0)
    window.add(box)
    window.connect("destroy", Gtk.main_quit)
    window.show_all()
    print("ready", flush=True)
    Gtk.main()


if __name__ == "__main__":
    main()
