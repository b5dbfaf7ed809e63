#!/usr/bin/env bash
# The full soak: 10,000 captures and opens in one stand-in host, under the rig's own Xvfb and
# wineserver, on the build this machine runs (CVT_WINE_BITS). Prints the handle, object and memory figures at start and end and the capture
# latency distribution. make test runs the same test with a small count.
#   scripts/run-soak.sh [COUNT]     (CVT_BUILD selects the build directory, default build/)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-env.sh
tests="$CVT_BIN/cvt_wine_tests.exe"
[ -f "$tests" ] || { echo "run-soak: $tests is missing; build first (make dll)" >&2; exit 1; }
export CVT_SOAK_COUNT="${1:-10000}"
scripts/wine-rig.sh wine "$tests" --gtest_filter='Soak.*'
