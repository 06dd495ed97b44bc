#!/usr/bin/env bash
# Fault injection: qrt-monitor decodes qrt-sim's telegrams for the given minutes
# (default 10) while the simulator corrupts 10 % of the bytes on interface A. The run
# passes when the monitor neither crashes nor hangs; lines whose module ID is not in
# the scenario can only come from chance CRC matches in the noise and are counted.
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-10}
cmake --build --preset default --target qrt-sim qrt-monitor > /dev/null
dir=$(mktemp -d /tmp/qrt-corrupt.XXXXXX)
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null; rm -rf "$dir"' EXIT
build/default/tools/qrt-sim --corrupt 10 --link-a "$dir/a" --link-b "$dir/b" \
    --module 5.1234,period=0.05,telegrams=temp1/temp2/batdig/count1/short \
    --module 6.16,period=0.05 --module 3.77,period=0.05 > /dev/null 2>&1 &
sim=$!
for _ in $(seq 50); do [ -e "$dir/a" ] && break; sleep 0.1; done
status=0
timeout -s INT "$((minutes * 60))" build/default/tools/qrt-monitor --port "$dir/a" > "$dir/lines.txt" || status=$?
if [ "$status" -ne 0 ] && [ "$status" -ne 124 ]; then
    echo "qrt-monitor ended with status $status"; exit 1
fi
total=$(grep -c '^[DC] ' "$dir/lines.txt" || true)
known=$(grep -E -c 'ID:(5\.1234|6\.16|3\.77|210|16) ' "$dir/lines.txt" || true)
withId=$(grep -E -c 'ID:[0-9]' "$dir/lines.txt" || true)
echo "lines decoded: $total; with a scenario module's ID: $known;"
echo "with any other ID (chance CRC matches in the noise): $((withId - known));"
echo "without an ID (type-5 extensions and samples, the communication pane): $((total - withId))"
