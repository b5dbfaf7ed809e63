#!/usr/bin/env bash
# The main job: the stand-in host under Wine with the plug-in loaded and a sample mail.
# With a display (DISPLAY set) a person uses it; without one, a scripted tour with real
# input runs on Xvfb, prints each step and saves a screenshot per step under build/demo/.
# CVT_DEMO_SMOKE=1 forces the headless tour (the test run uses it).
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
source scripts/wine-env.sh
bin="$CVT_BUILD/cross/bin"
[ -f "$bin/CvStandin.exe" ] && [ -f "$bin/CvTrivane.dll" ] || { echo "demo: build first (make)"; exit 1; }

# The sample mail names a file and a folder that exist in the demo's Wine prefix; the folder
# is made anew, so Explorer shows just the sample file.
demo_dir="$WINEPREFIX/drive_c/trivane-demo"
rm -rf "$demo_dir"
mkdir -p "$demo_dir"
printf '今期の報告書です。\r\n' >"$demo_dir/報告書.txt"

if [ -n "${DISPLAY:-}" ] && [ "${CVT_DEMO_SMOKE:-0}" != 1 ]; then
    echo "demo: starting the stand-in host on $DISPLAY; triple-click a path, press Shift+O or right-click"
    exec scripts/wine-rig.sh wine "$bin/CvStandin.exe"
fi
exec env -u DISPLAY scripts/wine-rig.sh bash scripts/demo-tour.sh
