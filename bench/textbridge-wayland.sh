#!/usr/bin/env bash
# Measures the front application, capture and direct-edit replacement against mousepad on a
# private Wayland desktop of its own, under mutter and under KWin; on KWin, with the desktop
# portal, the paste replacement too.
#   bench/textbridge-wayland.sh <build folder>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:?usage: $0 <build folder>}
for compositor in mutter kwin; do
    echo "== $compositor"
    portal=()
    [ "$compositor" = kwin ] && portal=(--portal)
    QT_QPA_PLATFORM=wayland GDK_BACKEND=wayland \
        "$here/../tests/integration/run-on-private-bus.sh" --wayland "$compositor" "${portal[@]}" -- \
        "$build/bench/bench_textbridge_wayland"
done
