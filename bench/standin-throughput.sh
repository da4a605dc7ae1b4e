#!/usr/bin/env bash
# Measures the stand-in's v1/improve throughput on loopback with wrk: 2 threads, 8 connections
# (one per server worker; a kept-alive connection holds its worker),
# 10 seconds, over HTTP and over HTTPS. Usage: bench/standin-throughput.sh [build directory]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build/release}
standin=$build/tools/standin/tidyword-standin
command -v wrk >/dev/null || { echo "wrk is needed: apt-get install -y wrk" >&2; exit 1; }

work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
for scheme in http https; do
    args=(--port 0 --limit 100000000)
    [ "$scheme" = https ] && args+=(--tls-dir "$work/tls")
    "$standin" "${args[@]}" > "$work/out" &
    pid=$!
    for _ in $(seq 50); do grep -q listening "$work/out" && break; sleep 0.1; done
    url=$(sed -n 's/^listening on //p' "$work/out")
    curl_args=(-s)
    [ "$scheme" = https ] && curl_args+=(--cacert "$work/tls/ca.pem")
    token=$(curl "${curl_args[@]}" -d '{}' "$url/_standin/tokens" | sed 's/.*"access_token":"\([^"]*\)".*/\1/')
    echo "== $scheme"
    STANDIN_TOKEN=$token wrk -t2 -c8 -d10s --latency -s "$here/standin-throughput.lua" "$url" |
        grep -E 'Requests/sec|Latency|50%|99%|requests in|non-2xx'
    kill "$pid"; wait "$pid" 2>/dev/null || true
done
