#!/usr/bin/python3
"""Another X11 client on the clipboard, speaking the selection protocol itself, so that a test
can be the owner or manager that toolkits never are: slow, silent, or typing its data.

  selection-peer.py own [--targets-after SECONDS | --silent-targets] [--slow TARGET SECONDS]
                        TARGET=TYPE/FORMAT:VALUE...
      owns CLIPBOARD and serves each TARGET as a property of that TYPE and FORMAT; VALUE is
      text for format 8, comma-separated numbers for 16 and 32. Answers TARGETS after a delay,
      or never; answers one TARGET after a delay. Prints "owned", then serves until killed.
  selection-peer.py read TARGET...
      prints one JSON line: per TARGET its type, format and value (text, or a list of numbers)
  selection-peer.py manager [--silent]
      owns CLIPBOARD_MANAGER; on SAVE_TARGETS it reads every target of the clipboard's owner,
      takes CLIPBOARD over serving them unchanged, answers, and prints one JSON line with the
      targets saved; or, silent, never answers. Prints "managing" first, then serves until
      killed.
"""
import json
import select
import sys
import time

from Xlib import X, Xatom, display
from Xlib.protocol import event

META = {"TARGETS", "MULTIPLE", "TIMESTAMP", "SAVE_TARGETS", "DELETE"}


def say(line):
    print(line, flush=True)


class Peer:
    def __init__(self):
        self.d = display.Display()
        self.window = self.d.screen().root.create_window(
            0, 0, 1, 1, 0, X.CopyFromParent, event_mask=X.PropertyChangeMask)
        self.clipboard = self.atom("CLIPBOARD")
        self.served = {}  # target atom -> (type atom, format, value)
        self.pending = []  # (due time, request) answered later
        self.delays = {}  # target atom -> seconds before the answer, or None for never
        self.on_request = None  # a request it takes over, returning True when it did

    def atom(self, name):
        return self.d.intern_atom(name)

    def name(self, atom):
        return self.d.get_atom_name(atom)

    def next_event(self, timeout):
        deadline = time.monotonic() + timeout
        while not self.d.pending_events():
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            select.select([self.d.fileno()], [], [], left)
        return self.d.next_event()

    def convert(self, selection, target, timeout=3.0):
        prop = self.atom("PEER_READ")
        self.window.convert_selection(selection, target, prop, X.CurrentTime)
        self.d.flush()
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            e = self.next_event(deadline - time.monotonic())
            if e is None:
                break
            if e.type == X.SelectionNotify and e.selection == selection and e.target == target:
                if e.property == X.NONE:
                    return None
                got = self.window.get_full_property(prop, X.AnyPropertyType)
                self.window.delete_property(prop)
                return got
            self.handle(e)
        return None

    def answer(self, request, found):
        prop = request.property or request.target
        if found is not None:
            type_, format_, value = found
            request.requestor.change_property(prop, type_, format_, value)
        notify = event.SelectionNotify(
            time=request.time, requestor=request.requestor, selection=request.selection,
            target=request.target, property=prop if found is not None else X.NONE)
        request.requestor.send_event(notify)
        self.d.flush()

    def lookup(self, request):
        if request.selection != self.clipboard:
            return None
        if request.target == self.atom("TARGETS"):
            return (Xatom.ATOM, 32, [self.atom("TARGETS")] + list(self.served))
        return self.served.get(request.target)

    def handle(self, e):
        if e.type == X.SelectionRequest:
            delay = self.delays.get(e.target, 0)
            if delay is None:
                return  # never answers
            if delay > 0:
                self.pending.append((time.monotonic() + delay, e))
                return
            if self.on_request and self.on_request(e):
                return
            self.answer(e, self.lookup(e))

    def own(self, selection):
        self.window.set_selection_owner(selection, X.CurrentTime)
        self.d.flush()
        return self.d.get_selection_owner(selection) == self.window

    def serve_forever(self):
        while True:
            due = min((when for when, _ in self.pending), default=None)
            timeout = 1.0 if due is None else max(0.0, due - time.monotonic())
            e = self.next_event(timeout)
            if e is not None:
                self.handle(e)
            now = time.monotonic()
            for entry in [p for p in self.pending if p[0] <= now]:
                self.pending.remove(entry)
                self.answer(entry[1], self.lookup(entry[1]))


def parse_value(format_, text):
    if format_ == 8:
        return text.encode("utf-8")
    return [int(number) for number in text.split(",")]


def own(peer, arguments):
    while arguments and arguments[0].startswith("--"):
        option = arguments.pop(0)
        if option == "--targets-after":
            peer.delays[peer.atom("TARGETS")] = float(arguments.pop(0))
        elif option == "--silent-targets":
            peer.delays[peer.atom("TARGETS")] = None
        elif option == "--slow":
            target = peer.atom(arguments.pop(0))
            peer.delays[target] = float(arguments.pop(0))
    for argument in arguments:
        target, rest = argument.split("=", 1)
        typed, value = rest.split(":", 1)
        type_name, format_ = typed.split("/")
        peer.served[peer.atom(target)] = (peer.atom(type_name), int(format_),
                                          parse_value(int(format_), value))
    if not peer.own(peer.clipboard):
        sys.exit(1)
    say("owned")
    peer.serve_forever()


def read(peer, targets):
    result = {}
    for target in targets:
        # Patient: an owner that answers at all answers well within this on a busy machine.
        got = peer.convert(peer.clipboard, peer.atom(target), timeout=15.0)
        if got is None:
            result[target] = None
            continue
        value = got.value
        result[target] = {
            "type": peer.name(got.property_type),
            "format": got.format,
            "value": value.decode("utf-8", "replace") if got.format == 8 else list(value),
        }
    say(json.dumps(result))


def manager(peer, arguments):
    manager_atom = peer.atom("CLIPBOARD_MANAGER")
    save = peer.atom("SAVE_TARGETS")
    silent = "--silent" in arguments

    def on_request(e):
        if e.selection != manager_atom:
            return False
        if silent:
            return True
        if e.target != save:
            peer.answer(e, None)
            return True
        listed = peer.convert(peer.clipboard, peer.atom("TARGETS"))
        saved = {}
        for target in (listed.value if listed else []):
            if peer.name(target) in META:
                continue
            got = peer.convert(peer.clipboard, target)
            if got is not None:
                saved[target] = (got.property_type, got.format, got.value)
        peer.served = saved
        peer.own(peer.clipboard)
        peer.answer(e, (Xatom.INTEGER, 32, [0]) if listed else None)
        say(json.dumps({"saved": sorted(peer.name(target) for target in saved)}))
        return True

    peer.on_request = on_request
    if not peer.own(manager_atom):
        sys.exit(1)
    say("managing")
    peer.serve_forever()


def main():
    if len(sys.argv) < 2:
        sys.exit(2)
    peer = Peer()
    mode, arguments = sys.argv[1], sys.argv[2:]
    if mode == "own":
        own(peer, arguments)
    elif mode == "read":
        read(peer, arguments)
    elif mode == "manager":
        manager(peer, arguments)
    else:
        sys.exit(2)


if __name__ == "__main__":
    main()
