#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing Tidyword needs, and only the ones
# that are missing. As root it installs them; otherwise it prints the one command to run.
set -euo pipefail

packages=(
    # toolchain
    g++ make cmake ninja-build pkg-config clang-format clang-tidy
    # libraries
    qt6-base-dev qt6-svg-dev qcoro-qt6-dev libicu-dev libsecret-1-dev
    libxcb1-dev libxcb-res0-dev libxcb-xtest0-dev libxcb-xfixes0-dev libxcb-xinput-dev
    libxcb-xkb-dev
    libatspi2.0-dev
    # Wayland: the compositor's registry for the session probe; Qt's own Wayland platform, so
    # that the application runs natively rather than through XWayland
    libwayland-dev qt6-wayland
    # the application's windows: a font, and a private X server for machines without a display
    fonts-dejavu-core xvfb xauth
    # tests and benchmarks; the stand-in service (HTTP(S) server) and a load generator
    libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev libssl-dev wrk curl
    # the capture that clipboard-based tools do, the floor the benchmarks measure against
    xclip
    # integration tests: a private session bus and a real Secret Service
    dbus-daemon dbus-bin gnome-keyring
    # integration tests on a private desktop: window manager, accessibility bus, real
    # applications to read from and write into, a way to press keys as a user would, and
    # another keyboard layout to switch to
    openbox trayer x11-utils at-spi2-core mousepad zenity xdotool x11-xkb-utils
    # GNOME's schemas for its custom keyboard shortcuts, which Tidyword's GNOME shortcut is
    # written by and tested against (in GIO's keyfile settings backend)
    gnome-settings-daemon-common
    # `make run`'s browser stand-in on a private desktop opens the sign-in callback through the
    # scheme's handler, as a browser does
    libglib2.0-bin
    # a clipboard client that speaks the selection protocol itself (slow owners, typed data,
    # a clipboard manager)
    python3-xlib
    # a GTK window of thousands of accessibles, in the toolkit that answers collection queries
    python3-gi gir1.2-gtk-3.0
    # integration tests on private Wayland desktops: headless GNOME (mutter) and KDE (KWin, which
    # also serves KDE's global shortcuts) compositors, GNOME's keybinding schemas (the custom
    # shortcuts live there), and a Wayland clipboard client (wl-copy, wl-paste)
    mutter kwin-wayland gnome-settings-daemon-common wl-clipboard
    # KDE's global shortcuts in tests: KWin's fake-input protocol (to press keys on KWin's own
    # keyboard) and KDE's stand-alone shortcut daemon (to stop, freeze and start again)
    plasma-wayland-protocols libkf5globalaccel-bin
    # the desktop portal with KDE's backend (a Qt 5 program, which needs Qt 5's Wayland
    # platform), through which Tidyword presses the paste keys on Wayland
    xdg-desktop-portal xdg-desktop-portal-kde qtwayland5
    # fuzzing: clang with libFuzzer
    clang libclang-rt-14-dev
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "Tidyword needs these Debian packages. Install them with:" >&2
    echo "    sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
    exit 1
fi

echo "Installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# A fresh machine may have no package lists yet; refresh them only when the install needs it.
if ! apt-get install -y --no-install-recommends "${missing[@]}"; then
    apt-get update
    apt-get install -y --no-install-recommends "${missing[@]}"
fi
