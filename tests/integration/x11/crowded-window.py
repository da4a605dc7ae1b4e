#!/usr/bin/python3
"""A GTK 3 window of thousands of labels in rows, a text field after the last: an accessibility
tree of the size real applications reach, in the toolkit that answers collection queries.

  crowded-window.py LABELS [--busy MILLISECONDS]
      shows LABELS labels and a focused field holding "the field"; busy, every turn of its main
      loop also burns that long, as an application at work does
"""
import sys
import time

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import GLib, Gtk  # noqa: E402


def main():
    labels = int(sys.argv[1])
    busy = float(sys.argv[3]) / 1000 if sys.argv[2:3] == ["--busy"] else 0

    window = Gtk.Window(title="Crowded window")
    window.set_default_size(480, 400)
    window.connect("destroy", Gtk.main_quit)
    rows = Gtk.Box(orientation=Gtk.Orientation.VERTICAL)
    row = Gtk.Box()
    for number in range(labels):
        if number % 20 == 0:
            row = Gtk.Box()
            rows.pack_start(row, False, False, 0)
        row.pack_start(Gtk.Label(label=f"label {number}"), False, False, 0)
    # As deep in the tree as the labels, and after all of them.
    field = Gtk.Entry(text="the field")
    row.pack_start(field, False, False, 0)
    if not row.get_parent():
        rows.pack_start(row, False, False, 0)
    scrolled = Gtk.ScrolledWindow()
    scrolled.add(rows)
    window.add(scrolled)
    window.show_all()
    field.grab_focus()

    if busy:
        def burn():
            until = time.monotonic() + busy
            while time.monotonic() < until:
                pass
            return GLib.SOURCE_CONTINUE

        # Whenever nothing else is due: a request that arrives meanwhile waits out the turn.
        GLib.idle_add(burn)
    Gtk.main()


if __name__ == "__main__":
    main()
