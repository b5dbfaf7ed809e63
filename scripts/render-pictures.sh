#!/usr/bin/env bash
# Renders the pictures under docs/ (make pictures):
#   confirm-dialog.png, outside-server.png, progress-window.png, setup-dialog.png,
#     invalid-path.png: the plug-in's four windows (the question in both its kinds), each opened by the picture helper (tools/render_pictures.cpp) in a
#     stand-in host session, photographed and closed again with a real key;
#   demo-mail.png, demo-confirm.png, demo-explorer.png, demo-context-menu.png:
#     steps of the headless demo tour (scripts/demo-tour.sh).
# Always on a private Xvfb without a window manager, where Wine draws the captions itself
# with the prefix's Japanese fonts. Ends with a status line; exits 1 when a picture is missing.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
source scripts/wine-env.sh
bin="$CVT_BIN"
say() { printf 'render-pictures: %s\n' "$*"; }

# ---- The dialogs, inside the rig (the script runs itself there) --------------------------
if [ "${1:-}" = --dialogs ]; then
    source scripts/window-helpers.sh
    failures=0
    # render KIND FILE TITLE CLOSE-KEY [SECONDS before the picture, default 0.5]
    render() {
        local kind="$1" file="docs/$2" title="$3" key="$4" settle="${5:-0.5}" window pid
        wine "$bin/cvt_render_pictures.exe" "$kind" >"$CVT_BUILD/render-$kind.log" 2>&1 &
        pid=$!
        if window=$(wait_window "$title" 20); then
            sleep "$settle" # the first paint comes after the window is mapped
            if grab_screen "$file" "$(window_box "$window")"; then
                say "$file ($(stat -c %s "$file") bytes)"
            else
                say "FAILED: no picture of the $kind window"
                failures=$((failures + 1))
            fi
            xdotool key "$key"
        else
            say "FAILED: the $kind window did not appear"
            failures=$((failures + 1))
        fi
        if ! wait_exit "$pid" 10; then
            say "FAILED: the $kind window did not close on $key"
            kill "$pid" 2>/dev/null
        fi
        wait "$pid" ||
            { say "FAILED: $(tr -d '\r' <"$CVT_BUILD/render-$kind.log")"; failures=$((failures + 1)); }
    }
    # Titles are matched byte by byte (xdotool sets no locale), so the tilde is written out.
    plugin_title='^Corvel!トリプルクリック～トリベインプラグイン$'
    render confirm confirm-dialog.png "$plugin_title" Escape
    render outside outside-server.png "$plugin_title" Escape
    # Long enough for the marquee to have moved into the bar.
    render progress progress-window.png "$plugin_title" alt+F4 1.5
    render setup setup-dialog.png '^トリベインの設定$' Escape
    render invalid-path invalid-path.png "$plugin_title" Return
    exit $((failures > 0))
fi

# ---- Build, then the dialogs and the tour ---------------------------------------------------
[ -d "$CVT_CROSS" ] || { say "build first (make run-build)"; exit 1; }
[ -f "$WINEPREFIX/.cvt-fonts" ] || scripts/setup.sh --prefix
say "pictures from the $CVT_WINE_BITS-bit build under $CVT_WINE_BITS-bit Wine"
cmake --build "$CVT_CROSS" --target cvt_render_pictures -j2 \
    >"$CVT_BUILD/render-pictures-build.log" 2>&1 ||
    { cat "$CVT_BUILD/render-pictures-build.log"; exit 1; }
mkdir -p docs
failures=0
env -u DISPLAY scripts/wine-rig.sh bash "$0" --dialogs || failures=$((failures + 1))

if CVT_DEMO_SMOKE=1 scripts/demo.sh >"$CVT_BUILD/render-tour.log" 2>&1; then
    for pair in 01-mail:demo-mail 02-confirm:demo-confirm 03-explorer:demo-explorer \
        04-context-menu:demo-context-menu; do
        file="docs/${pair#*:}.png"
        cp "$CVT_BUILD/demo/${pair%%:*}.png" "$file" && say "$file ($(stat -c %s "$file") bytes)"
    done
else
    cat "$CVT_BUILD/render-tour.log"
    say "FAILED: the demo tour"
    failures=$((failures + 1))
fi

if [ "$failures" -eq 0 ]; then
    say "PASSED: all pictures written under docs/"
else
    say "FAILED: pictures are missing (see above)"
    exit 1
fi
