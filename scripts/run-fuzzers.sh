#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for FUZZ_SECONDS (default 15),
# starting from the seed corpus in fuzz/corpus/ (copied, so the repository is not changed).
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-env.sh
seconds="${FUZZ_SECONDS:-15}"
dir="$CVT_BUILD/fuzz"
cmake -S . -B "$dir" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCVT_FUZZ=ON >"$dir.log" 2>&1 &&
    cmake --build "$dir" -j"${JOBS:-2}" --target cvt_fuzz_path cvt_fuzz_bounded >>"$dir.log" 2>&1 ||
    { tail -30 "$dir.log"; exit 1; }
status=0
for target in path bounded; do
    work=$(mktemp -d)
    cp -r "fuzz/corpus/$target/." "$work/" 2>/dev/null
    if "$dir/cvt_fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 "$work" \
        >"$dir/$target.log" 2>&1; then
        echo "fuzz: $target ran ${seconds}s clean ($(grep -m1 -o 'stat::number_of_executed_units: [0-9]*' "$dir/$target.log"))"
    else
        echo "fuzz: $target FAILED"; tail -40 "$dir/$target.log"; status=1
    fi
    rm -rf "$work"
done
exit $status
