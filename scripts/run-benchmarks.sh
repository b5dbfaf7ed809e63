#!/usr/bin/env bash
# Prints the benchmarks' figures: the path logic natively (Google Benchmark, with its ratio to
# a plain length pass), then the clipboard round trip of a capture under Wine beside a bare
# save-and-restore. Figures only: nothing here passes or fails on speed.
# Arguments go to the path benchmark (e.g. --benchmark_filter=NoPath).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-env.sh
JOBS="${JOBS:-2}"

echo "=== path logic (native, optimised)"
cmake -S . -B "$CVT_BUILD/native" -DCMAKE_BUILD_TYPE=Release >"$CVT_BUILD/bench-native.log"
cmake --build "$CVT_BUILD/native" -j"$JOBS" --target cvt_path_bench >>"$CVT_BUILD/bench-native.log"
"$CVT_BUILD/native/cvt_path_bench" "$@"

echo
echo "=== clipboard round trip of a capture (Wine)"
scripts/run-clipboard-bench.sh
