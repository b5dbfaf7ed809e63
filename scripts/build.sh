#!/usr/bin/env bash
# Builds one width of the cross build and prints the DLL's size (the build's own output goes to
# build/build-<folder>.log, and is shown when the build fails):
#   scripts/build.sh             the build this machine runs under Wine (scripts/wine-env.sh)
#   scripts/build.sh --product   the product, the 32-bit tree in build/cross: everything where
#                                this machine runs 32-bit code, else only the DLL
#   scripts/build.sh TARGET...   only these targets of the build this machine runs
set -euo pipefail
cd "$(dirname "$0")/.."
targets=()
if [ "${1:-}" = --product ]; then
    shift
    export CVT_WINE_BITS=32
    source scripts/wine-env.sh
    [ "$CVT_RUNS_32BIT_HERE" = 1 ] || targets=(--target CvTrivane)
else
    source scripts/wine-env.sh
    [ $# -gt 0 ] && targets=(--target "$@")
fi
log="$CVT_BUILD/build-$(basename "$CVT_CROSS").log"
{
    cmake -S . -B "$CVT_CROSS" -DCMAKE_TOOLCHAIN_FILE="$CVT_TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release &&
        cmake --build "$CVT_CROSS" -j"${JOBS:-2}" "${targets[@]}"
} >"$log" 2>&1 || { tail -40 "$log"; echo "build: failed (see $log)" >&2; exit 1; }
echo "built $CVT_BIN/CvTrivane.dll: $(stat -c %s "$CVT_BIN/CvTrivane.dll") bytes"
