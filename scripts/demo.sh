#!/usr/bin/env bash
# The main job: the stand-in host under Wine with the plug-in loaded and a sample mail.
# With a display (DISPLAY set) a person uses it; without one, a scripted tour with real
# input runs on Xvfb, prints each step and saves a screenshot per step under build/demo/.
# CVT_DEMO_SMOKE=1 forces the headless tour (the test run uses it). It runs the 32-bit build
# under 32-bit Wine where this machine runs 32-bit code, else the 64-bit twin (CVT_WINE_BITS).
#   scripts/demo.sh [--build]    --build: build the product and the build that runs first
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
source scripts/wine-env.sh
bin="$CVT_BIN"
if [ "$CVT_WINE_BITS" = 64 ]; then
    why="this machine cannot run 32-bit code"
    [ -n "${CVT_RUNS_32BIT:-}" ] && why="CVT_RUNS_32BIT=$CVT_RUNS_32BIT says $why"
    [ "$CVT_RUNS_32BIT_HERE" = 1 ] && why="CVT_WINE_BITS=64 asks for it"
    echo "demo: the 64-bit twin under 64-bit Wine ($why); the product is the 32-bit DLL"
else
    echo "demo: the 32-bit plug-in under 32-bit Wine"
fi
if [ "${1:-}" = --build ]; then
    scripts/build.sh --product && scripts/build.sh || exit 1
fi
[ -f "$bin/CvStandin.exe" ] && [ -f "$bin/CvTrivane.dll" ] || { echo "demo: build first (make run-build)"; exit 1; }
[ -f "$WINEPREFIX/.cvt-fonts" ] || scripts/setup.sh --prefix

# The sample mail names a file and folders that exist in the demo's Wine prefix; the folder
# is made anew, so Explorer shows just the samples.
demo_dir="$WINEPREFIX/drive_c/trivane-demo"
rm -rf "$demo_dir"
mkdir -p "$demo_dir"
printf '今期の報告書です。\r\n' >"$demo_dir/報告書.txt"
mkdir -p "$demo_dir/見積書"

if [ -n "${DISPLAY:-}" ] && [ "${CVT_DEMO_SMOKE:-0}" != 1 ]; then
    echo "demo: starting the stand-in host on $DISPLAY; triple-click a path, press Shift+O or right-click"
    exec scripts/wine-rig.sh wine "$bin/CvStandin.exe"
fi
exec env -u DISPLAY scripts/wine-rig.sh bash scripts/demo-tour.sh
