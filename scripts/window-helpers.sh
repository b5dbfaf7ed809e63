# shellcheck shell=bash
# Finding, waiting for and photographing windows on the rig's X display; sourced by
# scripts/demo-tour.sh and scripts/render-pictures.sh. Title patterns are extended regular
# expressions (xdotool search --name), so parentheses in a title need a backslash.

# Prints the newest visible window whose title matches, waiting up to $2 seconds (default 10).
wait_window() {
    local pattern="$1" seconds="${2:-10}" found=""
    for _ in $(seq $((seconds * 10))); do
        found=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | tail -1)
        [ -n "$found" ] && { echo "$found"; return 0; }
        sleep 0.1
    done
    return 1
}

# Waits up to $2 seconds (default 5) until no visible window's title matches.
wait_gone() {
    local pattern="$1" seconds="${2:-5}"
    for _ in $(seq $((seconds * 10))); do
        [ -z "$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null)" ] && return 0
        sleep 0.1
    done
    return 1
}

# Waits up to $2 seconds (default 5) until the window with this id is no longer on screen.
wait_hidden() {
    local window="$1" seconds="${2:-5}"
    for _ in $(seq $((seconds * 10))); do
        xwininfo -id "$window" 2>/dev/null | grep -q 'IsViewable' || return 0
        sleep 0.1
    done
    return 1
}

# Waits up to $2 seconds for a process of this shell to end; false when it is still running.
wait_exit() {
    local pid="$1" seconds="${2:-10}"
    for _ in $(seq $((seconds * 10))); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.1
    done
    return 1
}

# The window's rectangle on the screen as an ImageMagick geometry, WxH+X+Y.
window_box() {
    xwininfo -id "$1" 2>/dev/null | awk '
        /Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 }
        /^ *Width:/ { w = $2 } /^ *Height:/ { h = $2 }
        END { if (w > 0) printf "%dx%d+%d+%d\n", w, h, x, y }'
}

# Saves the screen, or the part of it that box (WxH+X+Y) covers, as a small PNG: what lies
# on top of the box (a menu, a dialog) is in the picture too. 64 colours keep it small.
grab_screen() {
    local out="$1" box="${2:-}" crop=()
    [ -n "$box" ] && crop=(-crop "$box" +repage)
    # The real ImageMagick: /usr/local/bin may hold a stand-in for convert.
    /usr/bin/import -window root png:- 2>/dev/null |
        /usr/bin/convert png:- "${crop[@]}" -colors 64 "PNG8:$out" 2>/dev/null
}
