#!/usr/bin/env bash
# Measures the front application, capture and direct-edit replacement against mousepad on a
# private Wayland desktop of its own, under mutter and under KWin; on KWin, with the desktop
# portal, the paste replacement too; on mutter, the paste through the portal's clipboard, with the
# tests' stand-in portal over mutter's own sessions (GNOME's portal cannot run headless).
#   bench/textbridge-wayland.sh <build folder>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:?usage: $0 <build folder>}
for compositor in mutter kwin; do
    echo "== $compositor"
    portal=()
    standin=()
    if [ "$compositor" = kwin ]; then
        portal=(--portal)
    else
        standin=(env TIDYWORD_STANDIN_PORTAL="$here/../tests/integration/portal/fake-portal.py")
    fi
    QT_QPA_PLATFORM=wayland GDK_BACKEND=wayland \
        "$here/../tests/integration/run-on-private-bus.sh" --wayland "$compositor" "${portal[@]}" -- \
        "${standin[@]}" bash -c '
            if [ -n "${TIDYWORD_STANDIN_PORTAL:-}" ]; then
                "$TIDYWORD_STANDIN_PORTAL" & standin=$!
                trap "kill $standin" EXIT
                until gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus \
                    -m org.freedesktop.DBus.NameHasOwner org.freedesktop.portal.Desktop |
                    grep -q true; do sleep 0.1; done
            fi
            "$0"' "$build/bench/bench_textbridge_wayland"
done
