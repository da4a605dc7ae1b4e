#!/usr/bin/env bash
# Measures capture and replacement against mousepad on a private desktop of its own.
#   bench/textbridge-x11.sh <build folder>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:?usage: $0 <build folder>}
QT_QPA_PLATFORM=xcb "$here/../tests/integration/run-on-private-bus.sh" --desktop -- \
    "$build/bench/bench_textbridge_x11"
