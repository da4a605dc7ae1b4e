#!/usr/bin/python3
"""Whether the Wayland compositor of this session answers a client: it connects to
$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY, asks for the globals and waits for the round trip's end.

  wayland-answers.py [INTERFACE...]
      exits 0 once the compositor has answered and announced every INTERFACE named (a seat, for
      one: no client has the keyboard before it), 1 when it does not within two seconds
"""
import os
import select
import socket
import struct
import sys
import time

DISPLAY, REGISTRY, CALLBACK = 1, 2, 3


def request(sender, opcode, *words):
    return struct.pack(f"<II{len(words)}I", sender, (8 + 4 * len(words)) << 16 | opcode, *words)


def main():
    wanted = set(sys.argv[1:])
    path = os.path.join(os.environ["XDG_RUNTIME_DIR"], os.environ.get("WAYLAND_DISPLAY", "wayland-0"))
    deadline = time.monotonic() + 2
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as connection:
        try:
            connection.connect(path)
            # wl_display.get_registry, then wl_display.sync: its callback's "done" ends the trip.
            connection.sendall(request(DISPLAY, 1, REGISTRY) + request(DISPLAY, 0, CALLBACK))
        except OSError:
            return 1
        announced = set()
        received = b""
        while time.monotonic() < deadline:
            ready, _, _ = select.select([connection], [], [], max(0, deadline - time.monotonic()))
            if not ready:
                break
            chunk = connection.recv(65536)
            if not chunk:
                break
            received += chunk
            while len(received) >= 8:
                sender, header = struct.unpack_from("<II", received)
                size, opcode = header >> 16, header & 0xFFFF
                if size < 8 or len(received) < size:
                    break
                body, received = received[8:size], received[size:]
                if sender == REGISTRY and opcode == 0 and len(body) >= 8:
                    # wl_registry.global: name, interface (length with its NUL, then the text)
                    length = struct.unpack_from("<I", body, 4)[0]
                    announced.add(body[8:8 + length].rstrip(b"\0").decode(errors="replace"))
                elif sender == CALLBACK and opcode == 0:
                    return 0 if wanted <= announced else 1
    return 1


if __name__ == "__main__":
    sys.exit(main())
