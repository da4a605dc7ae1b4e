#!/usr/bin/env bash
# Measures how long AT-SPI calls hold the event loop against a GTK window of 2,000 and 5,000
# labels, idle and busy, on a private desktop of its own.
#   bench/atspi-deadline.sh <build folder>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:?usage: $0 <build folder>}
QT_QPA_PLATFORM=xcb "$here/../tests/integration/run-on-private-bus.sh" --desktop -- \
    "$build/bench/bench_atspi_deadline"
