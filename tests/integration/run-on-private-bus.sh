#!/usr/bin/env bash
# Runs a command on a private D-Bus session bus of its own, in a temporary home, so that it
# meets only the services this script starts: nothing can be activated on demand.
#   run-on-private-bus.sh [--keyring] -- command [arguments...]
# --keyring starts GNOME Keyring's Secret Service, with its login collection created and
# unlocked before anything asks for it.
set -euo pipefail

keyring=false
while [ $# -gt 0 ]; do
    case "$1" in
        --keyring) keyring=true; shift ;;
        --) shift; break ;;
        *) echo "usage: $0 [--keyring] -- command..." >&2; exit 2 ;;
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
if [ "$1" = true ]; then
    printf pw | gnome-keyring-daemon --unlock --components=secrets --daemonize >/dev/null
    # The daemon returns before it has taken its name on the bus.
    for attempt in $(seq 100); do
        if dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
            org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null |
            grep -q "boolean true"; then
            break
        fi
        sleep 0.05
    done
fi
shift
exec "$@"
'
exec dbus-run-session --config-file="$home/bus.conf" -- bash -c "$inner" bash "$keyring" "$@" \
    2> >(grep -v "Failed to set fd limit" >&2)
