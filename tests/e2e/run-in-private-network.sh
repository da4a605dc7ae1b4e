#!/usr/bin/env bash
# Runs a command in network and mount namespaces of its own, where the deployment's host
# names resolve to the stand-in service and identity provider on loopback port 443, and where
# the stand-in's certificate authority is one the system trusts, so that the production
# binary talks to it unchanged. Needs root (unshare).
#   run-in-private-network.sh STANDIN HOST... -- command [arguments...]
# The command finds the stand-in's control address in STANDIN_URL.
set -euo pipefail

if [ "${TIDYWORD_IN_PRIVATE_NETWORK:-}" != 1 ]; then
    export TIDYWORD_IN_PRIVATE_NETWORK=1
    exec unshare --net --mount --fork -- "$0" "$@"
fi

standin=$1
shift
hosts=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do
    hosts+=("$1")
    shift
done
shift

work=$(mktemp -d)
trap 'kill "${standin_pid:-}" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
mount --make-rprivate /
ip link set lo up
# X servers of this namespace listen on abstract sockets of its own, and on files in
# /tmp/.X11-unix, which other desktops on the machine share: one of theirs on the same display
# number would take the connections of clients that look at the files first (python-xlib).
mount -t tmpfs -o mode=1777 tmpfs /tmp/.X11-unix

{ echo "127.0.0.1 localhost"; for host in "${hosts[@]}"; do echo "127.0.0.1 $host"; done; } \
    > "$work/hosts"
mount --bind "$work/hosts" /etc/hosts

names=()
for host in "${hosts[@]}"; do names+=(--tls-name "$host"); done
mkdir "$work/tls"
"$standin" --host 127.0.0.1 --port 443 --tls-dir "$work/tls" "${names[@]}" > "$work/standin.log" 2>&1 &
standin_pid=$!
for attempt in $(seq 200); do
    grep -q '^listening' "$work/standin.log" && break
    sleep 0.05
done
grep -q '^listening' "$work/standin.log" || { cat "$work/standin.log" >&2; exit 1; }

# The system's trust store with the stand-in's authority added, in both forms OpenSSL reads.
cp -a /etc/ssl/certs "$work/certs"
cp "$work/tls/ca.pem" "$work/certs/tidyword-standin-ca.pem"
cat "$work/tls/ca.pem" >> "$work/certs/ca-certificates.crt"
openssl rehash "$work/certs" >/dev/null 2>&1
mount --bind "$work/certs" /etc/ssl/certs

export STANDIN_URL="https://127.0.0.1:443"
"$@"
