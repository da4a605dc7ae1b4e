#!/usr/bin/python3
"""Gives a headless mutter's seat a keyboard: until a key has been pressed on it, mutter makes no
window ACTIVE or FOCUSED. It opens a remote desktop session on the session bus (no dialog: that
is the portal's, not mutter's own interface), taps Shift, and keeps the session, and with it the
keyboard, until it is ended.

  mutter-keyboard.py READY_FILE
      creates READY_FILE once the key has been pressed and released
"""
import sys

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

MUTTER = "org.gnome.Mutter.RemoteDesktop"
SHIFT_L = 0xFFE1


def main():
    bus = Gio.bus_get_sync(Gio.BusType.SESSION)

    def call(path, interface, method, arguments=None, reply=None):
        return bus.call_sync(MUTTER, path, interface, method, arguments,
                             GLib.VariantType(reply) if reply else None,
                             Gio.DBusCallFlags.NONE, 5000, None)

    session = call("/org/gnome/Mutter/RemoteDesktop", MUTTER, "CreateSession",
                   reply="(o)").unpack()[0]
    call(session, MUTTER + ".Session", "Start")
    for pressed in (True, False):
        call(session, MUTTER + ".Session", "NotifyKeyboardKeysym",
             GLib.Variant("(ub)", (SHIFT_L, pressed)))
    open(sys.argv[1], "w").close()
    # mutter ends the session, and removes its keyboard, when this connection goes.
    GLib.MainLoop().run()


if __name__ == "__main__":
    main()
