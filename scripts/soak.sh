#!/usr/bin/env bash
# Soak: the main window against qrt-sim at a sustained line-rate stream of standard
# frames (about 174 a second) for the given minutes (default 60). Reports memory per
# pane line, the slowest polls at the start and the end, and the log file's
# completeness; fails when any of them is out of bounds.
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-60}
cmake --build --preset default --target qrt-soak qrt-sim > /dev/null
dir=$(mktemp -d /tmp/qrt-soak.XXXXXX)
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null; rm -rf "$dir"' EXIT
modules=()
for serial in $(seq 1 29); do   # 29 modules, 6 telegrams a second each
    modules+=(--module "5.$serial,period=0.1667,telegrams=temp1/temp2/count1/config/aux1/short")
done
build/default/tools/qrt-sim --realtime --link-a "$dir/a" --link-b "$dir/b" "${modules[@]}" > /dev/null 2>&1 &
sim=$!
for _ in $(seq 50); do [ -e "$dir/b" ] && break; sleep 0.1; done
build/default/tests/soak/qrt-soak "$minutes" "$dir/a" "$dir/b" "$dir"
