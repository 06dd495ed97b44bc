#!/usr/bin/env bash
# Builds the libFuzzer harnesses and runs each for the given number of seconds
# (default 60), as many at once as there are cores, starting from seeds made by the
# project's own generators. The corpus grows in build/fuzz/corpus; a finding is left
# in build/fuzz/findings and makes the script fail.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
harnesses=("$@")
[ "${#harnesses[@]}" -gt 0 ] || harnesses=(receive settings firmware archive)
bash scripts/install-deps.sh
cmake --preset fuzz > /dev/null
cmake --build --preset fuzz
out=build/fuzz
"$out/tests/fuzz/qrt_fuzz_seeds" "$out/seeds"
mkdir -p "$out/findings"

run() {
    local harness=$1 corpus="$out/corpus/$1"
    mkdir -p "$corpus"
    cp -n "$out/seeds/$harness"/* "$corpus/" 2>/dev/null || true
    if "$out/tests/fuzz/qrt_fuzz_$harness" -max_total_time="$seconds" -print_final_stats=1 \
            -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$out/findings/$harness-" \
            "$corpus" > "$out/$harness.log" 2>&1; then
        echo "$harness: clean for ${seconds}s"
    else
        echo "$harness: FOUND A FAULT (see $out/$harness.log and $out/findings)"
        return 1
    fi
    grep -E "^stat::number_of_executed_units|cov: " "$out/$harness.log" | tail -2
}

status=0
pids=()
for harness in "${harnesses[@]}"; do
    run "$harness" &
    pids+=($!)
    if [ "${#pids[@]}" -ge "$(nproc)" ]; then
        wait "${pids[0]}" || status=1
        pids=("${pids[@]:1}")
    fi
done
for pid in "${pids[@]}"; do
    wait "$pid" || status=1
done
exit $status
