#!/usr/bin/python3
"""Runs Tidyword against the stand-in service on loopback: what `make run` starts.

    run-local.py [--state DIR] TIDYWORD STANDIN

Starts tidyword-standin on 127.0.0.1 (HTTPS with the certificate authority it creates, on a free
port), then Tidyword from a private prefix whose configuration names the stand-in (the build's
binary, hard-linked there, finds its configuration beside itself as an installed one does), and
stops the stand-in when Tidyword ends, however it ends. Tidyword makes itself the handler of its
sign-in scheme while it runs; the handler that was there before is put back afterwards. Nothing
is added to any trust store: only this configuration names the stand-in's authority.

DIR (default: a new temporary folder, removed afterwards) receives bin/, share/ and the
stand-in's tls/ (ca.pem there is the authority a test browser needs).
"""
import argparse
import ctypes
import json
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SCHEME = "com.tidyword.beta"
ENTRY_NAME = "tidyword.desktop"  # the name Tidyword registers under
SECTION = "[Default Applications]"
PR_SET_PDEATHSIG = 1


def die_with_parent():
    """Runs in each child: if this launcher is killed outright, the child is told to stop."""
    ctypes.CDLL("libc.so.6", use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


class SchemeHandler:
    """The user's handler of the sign-in scheme, as Tidyword's registration changes it."""

    def __init__(self):
        data = os.environ.get("XDG_DATA_HOME") or os.path.expanduser("~/.local/share")
        config = os.environ.get("XDG_CONFIG_HOME") or os.path.expanduser("~/.config")
        self.entry = os.path.join(data, "applications", ENTRY_NAME)
        self.mimeapps = os.path.join(config, "mimeapps.list")
        self.key = "x-scheme-handler/" + SCHEME
        self.saved_entry = self._read(self.entry)
        saved_list = self._read(self.mimeapps)
        self.list_existed = saved_list is not None
        self.saved_default = self._default(saved_list or b"")

    @staticmethod
    def _read(path):
        try:
            with open(path, "rb") as file:
                return file.read()
        except FileNotFoundError:
            return None

    @staticmethod
    def _write(path, content):
        temporary = path + ".tidyword-run"
        with open(temporary, "wb") as file:
            file.write(content)
        os.replace(temporary, path)

    def _default(self, content):
        section = None
        for line in content.decode(errors="replace").splitlines():
            if line.startswith("["):
                section = line.strip()
            elif section == SECTION and line.startswith(self.key + "="):
                return line
        return None

    def names(self, executable):
        """Whether the registered entry starts `executable`."""
        entry = self._read(self.entry)
        return entry is not None and ('Exec="%s"' % executable).encode() in entry

    def restore(self):
        """The entry as it was, and the scheme's line of mimeapps.list, the rest kept as it is."""
        if self.saved_entry is None:
            if os.path.exists(self.entry):
                os.remove(self.entry)
        else:
            self._write(self.entry, self.saved_entry)
        current = self._read(self.mimeapps)
        if current is None:
            return
        lines, section = [], None
        for line in current.decode(errors="replace").splitlines():
            if line.startswith("["):
                section = line.strip()
            elif section == SECTION and line.startswith(self.key + "="):
                if self.saved_default is not None:
                    lines.append(self.saved_default)
                continue
            lines.append(line)
        if not self.list_existed and all(line in ("", SECTION) for line in lines):
            os.remove(self.mimeapps)
        else:
            self._write(self.mimeapps, ("\n".join(lines) + "\n").encode())


def start_standin(standin, tls):
    process = subprocess.Popen(
        [standin, "--host", "127.0.0.1", "--port", "0", "--tls-dir", tls],
        stdout=subprocess.PIPE, preexec_fn=die_with_parent)
    ready, _, _ = select.select([process.stdout], [], [], 20)
    line = process.stdout.readline().decode() if ready else ""
    match = re.match(r"listening on (https://127\.0\.0\.1:\d+)", line)
    if not match:
        process.kill()
        sys.exit("run-local: the stand-in did not start")
    return process, match.group(1)


def configuration(service, authority_file):
    return {
        "provider": "local",
        "api_base_url": service,
        "authority": service,
        "client_id": "tidyword-local",
        "audience": "urn:tidyword:local",
        "scope": "openid offline_access access_as_user",
        "redirect_uri": SCHEME + "://oauth/callback",
        "certificate_authority": authority_file,
    }


def install(tidyword, prefix, config):
    os.makedirs(os.path.join(prefix, "bin"), exist_ok=True)
    os.makedirs(os.path.join(prefix, "share", "tidyword"), exist_ok=True)
    executable = os.path.join(prefix, "bin", "tidyword")
    if os.path.exists(executable):
        os.remove(executable)
    try:
        os.link(tidyword, executable)
    except OSError:
        shutil.copy2(tidyword, executable)
    with open(os.path.join(prefix, "share", "tidyword", "beta-config.json"), "w") as file:
        json.dump(config, file, indent=2)
    return executable


def stop(process, patience=10):
    if process is None or process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(patience)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--state")
    parser.add_argument("tidyword")
    parser.add_argument("standin")
    arguments = parser.parse_args()

    state = arguments.state or tempfile.mkdtemp(prefix="tidyword-run-")
    standin = tidyword = None
    handler = SchemeHandler()
    executable = None
    status = 1
    # A termination signal to this launcher alone (a logout, a test) ends Tidyword first, then
    # the rest below; Ctrl+C reaches Tidyword and the stand-in by themselves.
    def forward(number, frame):
        if tidyword is None:
            raise KeyboardInterrupt  # before Tidyword starts: nothing more starts
        if tidyword.poll() is None:
            tidyword.send_signal(signal.SIGTERM)
    for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(number, forward)
    try:
        standin, service = start_standin(arguments.standin, os.path.join(state, "tls"))
        authority_file = os.path.join(state, "tls", "ca.pem")
        executable = install(arguments.tidyword, os.path.join(state, "prefix"),
                             configuration(service, authority_file))
        print("The local test service tidyword-standin runs at %s: its rewrites are examples."
              % service, flush=True)
        print("Tidyword starts configured for it. Sign-in opens your browser, which will not "
              "know the stand-in's own certificate authority: continue to the page, and it "
              "approves at once.", flush=True)
        print("Select text anywhere and press Alt+Shift+D. Quit Tidyword from its tray menu, or "
              "press Ctrl+C here; the stand-in stops with it.", flush=True)
        started = time.monotonic()
        tidyword = subprocess.Popen([executable], preexec_fn=die_with_parent)
        status = tidyword.wait()
        if not handler.names(executable) and time.monotonic() - started < 10 and status == 0:
            print("Tidyword was already running: it shows its settings window.", flush=True)
    finally:
        stop(tidyword)
        stop(standin)
        # Only a registration this run made is undone: another Tidyword may have taken over.
        if executable and handler.names(executable):
            handler.restore()
        if not arguments.state:
            shutil.rmtree(state, ignore_errors=True)
    return status if status >= 0 else 128 - status


if __name__ == "__main__":
    try:
        sys.exit(main())
    except KeyboardInterrupt:
        sys.exit(130)
