#!/usr/bin/env bash
# Runs a command on a private D-Bus session bus of its own, in a temporary home, so that it
# meets only the services this script starts: nothing can be activated on demand.
#   run-on-private-bus.sh [--keyring] [--desktop] [--tray] -- command [arguments...]
# --keyring starts GNOME Keyring's Secret Service, with its login collection created and
# unlocked before anything asks for it.
# --desktop starts a desktop of its own: an X server (Xvfb), a window manager (openbox), and
# the accessibility bus with accessibility enabled, as a screen reader would leave it.
# --tray adds a system tray (trayer) along the top right of that desktop.
set -euo pipefail

keyring=false
desktop=false
tray=false
while [ $# -gt 0 ]; do
    case "$1" in
        --keyring) keyring=true; shift ;;
        --desktop) desktop=true; shift ;;
        --tray) desktop=true; tray=true; shift ;;
        --) shift; break ;;
        *) echo "usage: $0 [--keyring] [--desktop] [--tray] -- command..." >&2; exit 2 ;;
    esac
done

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
# Waits up to five seconds for a condition (a command line).
await() {
    for attempt in $(seq 100); do
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
started=()
trap '"'"'kill "${started[@]}" 2>/dev/null; wait 2>/dev/null'"'"' EXIT

if [ "$2" = true ]; then
    exec 3>"$HOME/display"
    Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    started+=($!)
    exec 3>&-
    await "test -s \"$HOME/display\""
    export DISPLAY=":$(cat "$HOME/display")"
    # GTK applications keep their settings in memory: there is no dconf service here.
    export GSETTINGS_BACKEND=memory
    openbox --sm-disable >/dev/null 2>&1 &
    started+=($!)
    await "xprop -root _NET_SUPPORTING_WM_CHECK | grep -q window"
    /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
    started+=($!)
    await "has_owner org.a11y.Bus"
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
        org.freedesktop.DBus.Properties.Set string:org.a11y.Status string:IsEnabled \
        variant:boolean:true >/dev/null
    if [ "$3" = true ]; then
        trayer --edge top --align right --widthtype pixel --width 120 --heighttype pixel \
            --height 24 --SetDockType true >/dev/null 2>&1 &
        started+=($!)
        await "xdotool search --class trayer"
    fi
fi

if [ "$1" = true ]; then
    printf pw | gnome-keyring-daemon --unlock --components=secrets --daemonize >/dev/null
    # The daemon returns before it has taken its name on the bus.
    await "has_owner org.freedesktop.secrets"
fi
shift 3
"$@"
'
exec dbus-run-session --config-file="$home/bus.conf" -- bash -c "$inner" bash "$keyring" "$desktop" "$tray" "$@" \
    2> >(grep -v "Failed to set fd limit" >&2)
