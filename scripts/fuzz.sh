#!/usr/bin/env bash
# Builds the libFuzzer harnesses and runs each for the given number of seconds
# (default 60), starting from seeds made by the project's own generators. The corpus
# grows in build/fuzz/corpus; a crash leaves its input in build/fuzz/findings and
# makes the script fail.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
harnesses=("${@:-receive settings firmware archive}")
read -r -a harnesses <<< "${harnesses[*]}"
cmake --preset fuzz > /dev/null
cmake --build --preset fuzz
out=build/fuzz
"$out/tests/fuzz/qrt_fuzz_seeds" "$out/seeds"
mkdir -p "$out/findings"
status=0
for harness in "${harnesses[@]}"; do
    corpus="$out/corpus/$harness"
    mkdir -p "$corpus"
    cp -n "$out/seeds/$harness"/* "$corpus/" 2>/dev/null || true
    echo "== $harness: ${seconds}s"
    if ! "$out/tests/fuzz/qrt_fuzz_$harness" -max_total_time="$seconds" -print_final_stats=1 \
            -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$out/findings/$harness-" \
            "$corpus" > "$out/$harness.log" 2>&1; then
        status=1
        echo "!! $harness found a fault; see $out/$harness.log and $out/findings"
    fi
    grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb|cov: " "$out/$harness.log" | tail -3
done
exit $status
