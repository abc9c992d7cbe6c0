#!/usr/bin/env bash
# usage: logger_over_pty.sh ADAPTER_SIM LOGGER BUSFILE
# Serves BUSFILE behind the DS2480B model and checks that the logger's scan
# through the pseudo-terminal equals its scan of the simulated bus.
set -euo pipefail
sim=$1 logger=$2 bus=$3
dir=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$dir"' EXIT
"$sim" "$bus" >"$dir/pty" &
pid=$!
for _ in $(seq 50); do [ -s "$dir/pty" ] && break; sleep 0.1; done
pty=$(head -n1 "$dir/pty")
[ -n "$pty" ] || { echo "adapter simulator printed no path" >&2; exit 1; }
"$logger" --bus "$bus" --scan >"$dir/bus.txt"
"$logger" --adapter "ds2480b:$pty" --scan >"$dir/adapter.txt"
grep -q '^found: [1-9]' "$dir/adapter.txt" || { cat "$dir/adapter.txt" >&2; exit 1; }
diff -u "$dir/bus.txt" "$dir/adapter.txt"
