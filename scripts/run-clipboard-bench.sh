#!/usr/bin/env bash
# Builds the clipboard benchmark and the plug-in (cross, Release) and runs it under the Wine rig:
# the 32-bit build where this machine runs 32-bit code, else the 64-bit twin.
# Prints a capture's round trip in the plug-in beside a bare round trip for the same contents,
# their ratio and the peak extra memory. Figures only: nothing passes or fails on speed.
#   CVT_BUILD=DIR scripts/run-clipboard-bench.sh
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-env.sh
JOBS="${JOBS:-2}"
[ -f "$WINEPREFIX/.cvt-fonts" ] || scripts/setup.sh --prefix
echo "($CVT_WINE_BITS-bit build under $CVT_WINE_BITS-bit Wine)"
cmake -S . -B "$CVT_CROSS" -DCMAKE_TOOLCHAIN_FILE="$CVT_TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=Release >"$CVT_BUILD/clipboard-bench-build.log"
cmake --build "$CVT_CROSS" -j"$JOBS" --target cvt_clipboard_bench CvTrivane \
    >>"$CVT_BUILD/clipboard-bench-build.log" ||
    { tail -30 "$CVT_BUILD/clipboard-bench-build.log"; exit 1; }
cd "$CVT_BIN"
# Wine's own output goes to a file: its helper processes may hold a pipe open.
status=0
"$CVT_ROOT/scripts/wine-rig.sh" wine cvt_clipboard_bench.exe >"$CVT_BUILD/clipboard-bench.txt" 2>&1 ||
    status=$?
cat "$CVT_BUILD/clipboard-bench.txt"
exit $status
