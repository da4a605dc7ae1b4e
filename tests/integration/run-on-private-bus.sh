#!/usr/bin/env bash
# Runs a command on a private D-Bus session bus of its own, in a temporary home, so that it
# meets only the services this script starts: nothing can be activated on demand.
#   run-on-private-bus.sh [--keyring] [--desktop] [--tray] [--wayland mutter|kwin] [--portal] -- command...
# --keyring starts GNOME Keyring's Secret Service, with its login collection created and
# unlocked before anything asks for it.
# --desktop starts a desktop of its own: an X server (Xvfb), a window manager (openbox), and
# the accessibility bus with accessibility enabled, as a screen reader would leave it.
# --tray adds a system tray (trayer) along the top right of that desktop.
# --wayland starts a Wayland desktop of its own instead: a headless compositor (GNOME's mutter,
# or KDE's KWin, which also serves KDE's global shortcuts, org.kde.kglobalaccel) with one
# 1280x800 output and no X server, and the accessibility bus as --desktop does. The command
# finds it through WAYLAND_DISPLAY, XDG_SESSION_TYPE=wayland and XDG_CURRENT_DESKTOP (GNOME or
# KDE); DISPLAY is unset.
# --portal adds, on KWin, the desktop portal (org.freedesktop.portal.Desktop) with KDE's backend.
set -euo pipefail

keyring=false
desktop=false
tray=false
wayland=
portal=false
usage="usage: $0 [--keyring] [--desktop] [--tray] [--wayland mutter|kwin] [--portal] -- command..."
while [ $# -gt 0 ]; do
    case "$1" in
        --keyring) keyring=true; shift ;;
        --desktop) desktop=true; shift ;;
        --tray) desktop=true; tray=true; shift ;;
        --portal) portal=true; shift ;;
        --wayland)
            case "${2:-}" in
                mutter|kwin) wayland=$2; shift 2 ;;
                *) echo "$usage" >&2; exit 2 ;;
            esac ;;
        --) shift; break ;;
        *) echo "$usage" >&2; exit 2 ;;
    esac
done
if [ "$portal" = true ] && [ "$wayland" != kwin ]; then
    echo "run-on-private-bus: --portal needs --wayland kwin" >&2
    exit 2
fi
if [ "$desktop" = true ] && [ -n "$wayland" ]; then
    echo "run-on-private-bus: --desktop and --tray are X11 desktops; --wayland is another" >&2
    exit 2
fi

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_RUNTIME_DIR="$home/run" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY

cat > "$home/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=$home</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF

inner='
# Waits for a condition (a command line), five seconds unless told how many.
await() {
    for attempt in $(seq $((${2:-5} * 20))); do
        if eval "$1" >/dev/null 2>&1; then
            return 0
        fi
        sleep 0.05
    done
    echo "run-on-private-bus: gave up waiting for: $1" >&2
    return 1
}
has_owner() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q "boolean true"
}
# Ends what this script started, and waits for it: a compositor that ignores the request to
# end is not left running.
started=()
stop_started() {
    kill "${started[@]}" 2>/dev/null
    for attempt in $(seq 100); do
        alive=false
        for pid in "${started[@]}"; do
            kill -0 "$pid" 2>/dev/null && alive=true
        done
        [ "$alive" = true ] || break
        sleep 0.05
    done
    kill -KILL "${started[@]}" 2>/dev/null
    wait 2>/dev/null
}
trap stop_started EXIT
start_accessibility() {
    /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
    started+=($!)
    await "has_owner org.a11y.Bus"
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
        org.freedesktop.DBus.Properties.Set string:org.a11y.Status string:IsEnabled \
        variant:boolean:true >/dev/null
}
# GTK applications keep their settings in memory (there is no dconf service here), unless the
# test names a backend of its own.
export GSETTINGS_BACKEND="${GSETTINGS_BACKEND:-memory}"

if [ "$2" = true ]; then
    exec 3>"$HOME/display"
    Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    started+=($!)
    exec 3>&-
    await "test -s \"$HOME/display\""
    export DISPLAY=":$(cat "$HOME/display")"
    openbox --sm-disable >/dev/null 2>&1 &
    started+=($!)
    await "xprop -root _NET_SUPPORTING_WM_CHECK | grep -q window"
    start_accessibility
    if [ "$3" = true ]; then
        trayer --edge top --align right --widthtype pixel --width 120 --heighttype pixel \
            --height 24 --SetDockType true >/dev/null 2>&1 &
        started+=($!)
        await "xdotool search --class trayer"
    fi
fi

if [ -n "$4" ]; then
    helpers="$(dirname "$0")/wayland"
    export WAYLAND_DISPLAY=wayland-1
    # The compositors are Qt or GTK programs too, and must not take the command'"'"'s platform.
    case "$4" in
        mutter)
            env -u QT_QPA_PLATFORM mutter --wayland --headless --no-x11 \
                --virtual-monitor 1280x800 --wayland-display="$WAYLAND_DISPLAY" >/dev/null 2>&1 &
            started+=($!)
            export XDG_CURRENT_DESKTOP=GNOME ;;
        kwin)
            # The installed binary carries a file capability that cannot be granted here; a copy
            # has none. KWin recognises itself by its file name.
            cp /usr/bin/kwin_wayland "$HOME/kwin_wayland"
            env -u QT_QPA_PLATFORM KWIN_COMPOSE=Q "$HOME/kwin_wayland" --virtual \
                --socket "$WAYLAND_DISPLAY" --width 1280 --height 800 --no-lockscreen \
                --no-kactivities >/dev/null 2>&1 &
            started+=($!)
            export XDG_CURRENT_DESKTOP=KDE ;;
    esac
    # A busy machine may take its time: twenty seconds each.
    await "\"$helpers/wayland-answers.py\" wl_seat xdg_wm_base" 20
    export XDG_SESSION_TYPE=wayland
    case "$4" in
        mutter)
            "$helpers/mutter-keyboard.py" "$HOME/keyboard" &
            started+=($!)
            await "test -e \"$HOME/keyboard\"" 20 ;;
        kwin)
            await "has_owner org.kde.kglobalaccel" 20 ;;
    esac
    start_accessibility
    if [ "$5" = true ]; then
        # The KDE backend is a Qt 5 program: it needs the platform of its own Qt.
        QT_QPA_PLATFORM=wayland /usr/lib/x86_64-linux-gnu/libexec/xdg-desktop-portal-kde \
            >/dev/null 2>&1 &
        started+=($!)
        await "has_owner org.freedesktop.impl.portal.desktop.kde" 20
        /usr/libexec/xdg-desktop-portal --replace >/dev/null 2>&1 &
        started+=($!)
        await "has_owner org.freedesktop.portal.Desktop" 20
    fi
fi

if [ "$1" = true ]; then
    printf pw | gnome-keyring-daemon --unlock --components=secrets --daemonize >/dev/null
    # The daemon returns before it has taken its name on the bus.
    await "has_owner org.freedesktop.secrets"
fi
shift 5
"$@"
'
# Not exec: the temporary home goes once the bus has ended.
status=0
dbus-run-session --config-file="$home/bus.conf" -- \
    bash -c "$inner" "$0" "$keyring" "$desktop" "$tray" "$wayland" "$portal" "$@" \
    2> >(grep -v "Failed to set fd limit" >&2) || status=$?
exit "$status"
