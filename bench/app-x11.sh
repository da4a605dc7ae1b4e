#!/usr/bin/env bash
# Measures the built application against mousepad on a private desktop of its own (with a
# tray): start to tray icon and to window, shortcut to popup (30 presses), idle CPU over 60 s,
# and resident memory after start, after the popups and after idling, each against a minimal
# Qt Widgets program with a tray icon measured in the same run.
#   bench/app-x11.sh <build folder>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:?usage: $0 <build folder>}
"$here/../tests/integration/run-on-private-bus.sh" --tray -- \
    "$build/bench/bench_app_x11" "$build/bin/tidyword" "$build/bench/bench_minimal_tray"
