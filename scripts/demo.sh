#!/usr/bin/env bash
# Installs what is missing, builds, and starts the tool against the device simulator.
# Without a display it decodes the simulator's traffic on the console instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default
# Only the three programs the demo runs: the window appears without waiting for the tests.
cmake --build --preset default --target qrt-tester qrt-sim qrt-monitor
build=build/default
demo=$(mktemp -d /tmp/qrt-demo.XXXXXX)
mux=()
[ "${QRT_DEMO_MUX:-0}" = 1 ] && mux=(--mux)
"$build/tools/qrt-sim" "${mux[@]}" --scenario tools/sim/demo.ini \
    --link-a "$demo/interface-a" --link-b "$demo/interface-b" > "$demo/sim.log" 2>&1 &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null; rm -rf "$demo"' EXIT
for _ in $(seq 50); do [ -e "$demo/interface-a" ] && break; sleep 0.1; done
echo "Simulator running; its event log: $demo/sim.log"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    # The tool keeps its settings beside its executable: give the demo copy its own.
    cp "$build/src/qrt-tester" "$demo/qrt-tester"
    cat > "$demo/qrt-tester.ini" <<INI
[Config]
InterfaceA=$demo/interface-a
InterfaceB=$demo/interface-b
MXL=${QRT_DEMO_MUX:-0}
binprot=1
[Settings]
ID=16
IDh=6
[Log]
File=$demo/decoded.log
INI
    echo "Starting the tool: press Open to connect to the simulated installation."
    "$demo/qrt-tester"
else
    echo "No display: decoding what the simulated receiver sends for 15 seconds."
    timeout -s INT 15 "$build/tools/qrt-monitor" "${mux[@]}" --port "$demo/interface-a" || true
fi
