#!/usr/bin/env bash
# Installs what is missing, builds, and starts the tool against the device simulator.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default
cmake --build --preset default
build=build/default
links=$(mktemp -d /tmp/qrt-demo.XXXXXX)
mux=()
[ "${QRT_DEMO_MUX:-0}" = 1 ] && mux=(--mux)
"$build/tools/qrt-sim" "${mux[@]}" --scenario tools/sim/demo.ini \
    --link-a "$links/interface-a" --link-b "$links/interface-b" > "$links/sim.log" 2>&1 &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null; rm -rf "$links"' EXIT
for _ in $(seq 50); do [ -e "$links/interface-a" ] && break; sleep 0.1; done
echo "Simulator running; its event log: $links/sim.log"
echo "Decoding what the simulated receiver sends for 15 seconds:"
timeout -s INT 15 "$build/tools/qrt-monitor" "${mux[@]}" --port "$links/interface-a" || true
