#!/usr/bin/python3
"""A desktop portal's RemoteDesktop and GlobalShortcuts interfaces for tests, on the session
bus it runs on, with the host registry for applications outside a sandbox.

  fake-portal.py

Configure(RECORD, N, R, D) of org.example.FakePortal on the portal's object sets what it answers
from then on and where it records what it is asked, and forgets every session and request.

Its interfaces have version N. It answers every request with response 0, except Start and
BindShortcuts, which answer R (1: the user refused, 2: the dialog ended otherwise, -1: never,
until the request is closed); Start after D milliseconds, as a user reading a dialog would.
Each request's options, each key, each shortcut bound, each registration and each closed
session are appended to RECORD, one JSON object per line. With version 2 or later and
persist_mode set, Start hands out a new restore token each time: "token-1", "token-2", …
The test presses a bound shortcut by calling Press(id) of
org.example.FakePortal on the portal's object: Activated follows, for every open session.
CloseSessions() ends every session as the user would from the desktop, with Closed.

Where GNOME's compositor runs on the bus when it starts, it also offers the Clipboard interface,
and, as GNOME's own portal backend does, each started session is one of the compositor's
RemoteDesktop sessions: keys are typed there, and the clipboard requested before the start is
the compositor's, read and written through it.
"""
import json, os, types
from gi.repository import Gio, GLib

INTERFACES = """
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
    <method name="NotifyKeyboardKeysym">
      <arg type="o" direction="in"/><arg type="a{sv}" direction="in"/>
      <arg type="i" direction="in"/><arg type="u" direction="in"/>
    </method>
    <property name="version" type="u" access="read"/>
    <property name="AvailableDeviceTypes" type="u" access="read"/>
  </interface>
  <interface name="org.freedesktop.portal.Session">
    <method name="Close"/>
  </interface>
  <interface name="org.freedesktop.portal.Request">
    <method name="Close"/>
  </interface>
  <interface name="org.freedesktop.portal.GlobalShortcuts">
    <method name="CreateSession">
      <arg type="a{sv}" direction="in"/><arg type="o" direction="out"/>
    </method>
    <method name="BindShortcuts">
      <arg type="o" direction="in"/><arg type="a(sa{sv})" direction="in"/>
      <arg type="s" direction="in"/><arg type="a{sv}" direction="in"/>
      <arg type="o" direction="out"/>
    </method>
    <signal name="Activated">
      <arg type="o"/><arg type="s"/><arg type="t"/><arg type="a{sv}"/>
    </signal>
    <property name="version" type="u" access="read"/>
  </interface>
  <interface name="org.freedesktop.host.portal.Registry">
    <method name="Register">
      <arg type="s" direction="in"/><arg type="a{sv}" direction="in"/>
    </method>
  </interface>
  <interface name="org.freedesktop.portal.Clipboard">
    <method name="RequestClipboard">
      <arg type="o" direction="in"/><arg type="a{sv}" direction="in"/>
    </method>
    <method name="SetSelection">
      <arg type="o" direction="in"/><arg type="a{sv}" direction="in"/>
    </method>
    <method name="SelectionWrite">
      <arg type="o" direction="in"/><arg type="u" direction="in"/><arg type="h" direction="out"/>
    </method>
    <method name="SelectionWriteDone">
      <arg type="o" direction="in"/><arg type="u" direction="in"/><arg type="b" direction="in"/>
    </method>
    <method name="SelectionRead">
      <arg type="o" direction="in"/><arg type="s" direction="in"/><arg type="h" direction="out"/>
    </method>
    <signal name="SelectionOwnerChanged">
      <arg type="o"/><arg type="a{sv}"/>
    </signal>
    <signal name="SelectionTransfer">
      <arg type="o"/><arg type="s"/><arg type="u"/>
    </signal>
    <property name="version" type="u" access="read"/>
  </interface>
  <interface name="org.example.FakePortal">
    <method name="Press">
      <arg type="s" direction="in"/>
    </method>
    <method name="CloseSessions"/>
    <method name="Configure">
      <arg type="s" direction="in"/><arg type="u" direction="in"/>
      <arg type="i" direction="in"/><arg type="u" direction="in"/>
    </method>
  </interface>
</node>
"""

options = types.SimpleNamespace(record="/dev/null", version=1, start_response=0, delay=0)
info = Gio.DBusNodeInfo.new_for_xml(INTERFACES)
bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
tokens = [0]
sessions = {}
requests = {}


def record(entry):
    with open(options.record, "a") as file:
        file.write(json.dumps(entry) + "\n")


def plain(vardict):
    return {key: vardict[key] for key in vardict.keys()}


def respond(sender, token, response, results, delay=0):
    path = "/org/freedesktop/portal/desktop/request/%s/%s" % (
        sender[1:].replace(".", "_"), token)
    if response < 0:
        requests[path] = bus.register_object(path, info.interfaces[2], closed)
        return path
    GLib.timeout_add(delay, lambda: bus.emit_signal(
        sender, path, "org.freedesktop.portal.Request", "Response",
        GLib.Variant("(ua{sv})", (response, results))) and False)
    return path


def closed(connection, sender, path, interface, method, parameters, invocation):
    record({"closed": path})
    with_clipboard.discard(path)
    if path in in_mutter:
        mutter(in_mutter.pop(path), "Stop")
    forget(path)
    invocation.return_value(None)


def forget(path):
    for objects in (sessions, requests):
        if path in objects:
            bus.unregister_object(objects.pop(path))


MUTTER = "org.gnome.Mutter.RemoteDesktop"
PORTAL_PATH = "/org/freedesktop/portal/desktop"
CLIPBOARD = "org.freedesktop.portal.Clipboard"
with_clipboard = set()  # sessions that asked for the clipboard before their start
in_mutter = {}  # started session: the compositor's session behind it
# As GNOME's portal does, a session hears of the clipboard only after its start is answered.
held_back = {}  # session: its clipboard signals until then


def mutter(path, method, arguments=None, reply=None, descriptors=None):
    return bus.call_with_unix_fd_list_sync(
        MUTTER, path, MUTTER + ("" if path == "/org/gnome/Mutter/RemoteDesktop" else ".Session"),
        method, arguments, GLib.VariantType(reply) if reply else None, Gio.DBusCallFlags.NONE,
        5000, descriptors, None)


def start_in_mutter(session):
    behind = mutter("/org/gnome/Mutter/RemoteDesktop", "CreateSession", reply="(o)")[0][0]
    in_mutter[session] = behind
    if session in with_clipboard:
        mutter(behind, "EnableClipboard", GLib.Variant("(a{sv})", ({},)))
    mutter(behind, "Start")


def release(session):
    for signal, parameters in held_back.pop(session, []):
        bus.emit_signal(None, PORTAL_PATH, CLIPBOARD, signal, parameters)
    return False


def from_mutter(connection, sender, path, interface, signal, parameters):
    for session, behind in in_mutter.items():
        if behind != path:
            continue
        if signal == "SelectionOwnerChanged":
            given = parameters.unpack()[0]
            options = {}
            if "mime-types" in given:
                options["mime_types"] = GLib.Variant("as", given["mime-types"][0])
            if "session-is-owner" in given:
                options["session_is_owner"] = GLib.Variant("b", given["session-is-owner"])
            translated = GLib.Variant("(oa{sv})", (session, options))
        elif signal == "SelectionTransfer":
            translated = GLib.Variant("(osu)", (session,) + parameters.unpack())
        else:
            continue
        if session in held_back:
            held_back[session].append((signal, translated))
        else:
            bus.emit_signal(None, PORTAL_PATH, CLIPBOARD, signal, translated)


def clipboard(method, parameters, invocation):
    parameters = parameters.unpack()
    session = parameters[0]
    record({"method": method})
    if method == "RequestClipboard":
        with_clipboard.add(session)
        invocation.return_value(None)
        return
    behind = in_mutter.get(session)
    if behind is None:
        invocation.return_dbus_error("org.freedesktop.DBus.Error.AccessDenied", "not started")
        return
    if method == "SetSelection":
        given = parameters[1]
        options = {"mime-types": GLib.Variant("as", given["mime_types"])} \
            if "mime_types" in given else {}
        mutter(behind, method, GLib.Variant("(a{sv})", (options,)))
        invocation.return_value(None)
    elif method == "SelectionWriteDone":
        mutter(behind, method, GLib.Variant("(ub)", parameters[1:]))
        invocation.return_value(None)
    else:
        argument = GLib.Variant("(u)" if method == "SelectionWrite" else "(s)",
                                (parameters[1],))
        reply, descriptors = mutter(behind, method, argument, "(h)")
        # Every copy of the pipe's end here is closed at once: a reader sees the end of the
        # data only once no writer is left.
        handed = Gio.UnixFDList.new()
        received = descriptors.steal_fds()
        handed.append(received[reply[0]])
        for descriptor in received:
            os.close(descriptor)
        invocation.return_value_with_unix_fd_list(GLib.Variant("(h)", (0,)), handed)


def called(connection, sender, path, interface, method, parameters, invocation):
    if interface == CLIPBOARD:
        clipboard(method, parameters, invocation)
        return
    if method == "Configure":
        for path in list(sessions) + list(requests):
            forget(path)
        options.record, options.version, options.start_response, options.delay = \
            parameters.unpack()
        tokens[0] = 0
        selected[0] = {}
        invocation.return_value(None)
        return
    if method == "CloseSessions":
        for session in list(sessions):
            bus.emit_signal(None, session, "org.freedesktop.portal.Session", "Closed",
                            GLib.Variant("(a{sv})", ({},)))
            with_clipboard.discard(session)
            if session in in_mutter:
                mutter(in_mutter.pop(session), "Stop")
            forget(session)
        invocation.return_value(None)
        return
    if method == "Register":
        record({"registered": parameters.unpack()[0]})
        invocation.return_value(None)
        return
    if method == "Press":
        for session in sessions:
            bus.emit_signal(None, "/org/freedesktop/portal/desktop",
                            "org.freedesktop.portal.GlobalShortcuts", "Activated",
                            GLib.Variant("(osta{sv})", (session, parameters.unpack()[0], 0, {})))
        invocation.return_value(None)
        return
    if method == "BindShortcuts":
        session, shortcuts, _, requested = parameters.unpack()
        record({"method": method, "session": session,
                "shortcuts": [[name, plain(settings)] for name, settings in shortcuts]})
        bound = [(name, {"description": GLib.Variant("s", settings["description"]),
                         "trigger_description": GLib.Variant("s", settings["preferred_trigger"])})
                 for name, settings in shortcuts]
        results = {"shortcuts": GLib.Variant("a(sa{sv})", bound)}
        invocation.return_value(GLib.Variant("(o)", (respond(
            sender, requested["handle_token"], options.start_response, results),)))
        return
    if method == "NotifyKeyboardKeysym":
        session, _, keysym, state = parameters.unpack()
        record({"key": keysym, "pressed": state})
        if session in in_mutter:
            mutter(in_mutter[session], method, GLib.Variant("(ub)", (keysym, bool(state))))
        invocation.return_value(None)
        return
    arguments = parameters.unpack()
    requested = arguments[-1]
    record({"method": method, "options": plain(requested)})
    token = requested["handle_token"]
    if method == "CreateSession":
        session = "/org/freedesktop/portal/desktop/session/%s/%s" % (
            sender[1:].replace(".", "_"), requested["session_handle_token"])
        sessions[session] = bus.register_object(session, info.interfaces[1], closed)
        results = {"session_handle": GLib.Variant("s", session)}
        response = 0
    elif method == "Start":
        results = {"devices": GLib.Variant("u", 1)}
        response = options.start_response
        if response == 0 and offers_clipboard:
            held_back[arguments[0]] = []
            GLib.timeout_add(options.delay + 50, release, arguments[0])
            start_in_mutter(arguments[0])
            results["clipboard_enabled"] = GLib.Variant("b", arguments[0] in with_clipboard)
        if options.version >= 2 and "persist_mode" in selected[0] and response == 0:
            tokens[0] += 1
            results["restore_token"] = GLib.Variant("s", "token-%d" % tokens[0])
    else:
        selected[0] = plain(requested)
        results, response = {}, 0
    delay = options.delay if method == "Start" else 0
    invocation.return_value(GLib.Variant("(o)", (respond(sender, token, response, results,
                                                         delay),)))


def property(connection, sender, path, interface, name):
    return GLib.Variant("u", options.version if name == "version" else 1)


selected = [{}]
offers_clipboard = bus.call_sync(
    "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
    GLib.Variant("(s)", (MUTTER,)), None, Gio.DBusCallFlags.NONE, 5000, None)[0]
for interface in (0, 3, 4, 6) + ((5,) if offers_clipboard else ()):
    bus.register_object("/org/freedesktop/portal/desktop", info.interfaces[interface], called,
                        property)
if offers_clipboard:
    bus.signal_subscribe(MUTTER, MUTTER + ".Session", None, None, None,
                         Gio.DBusSignalFlags.NONE, from_mutter)
Gio.bus_own_name_on_connection(bus, "org.freedesktop.portal.Desktop",
                               Gio.BusNameOwnerFlags.NONE, None, None)
GLib.MainLoop().run()
