#!/usr/bin/env bash
# Runs a command with one Xvfb and one persistent wineserver, and stops both by PID after.
#   scripts/wine-rig.sh COMMAND [ARGS...]
# With DISPLAY already set (a person's desktop) no Xvfb is started. The command sees
# CVT_DISPLAY_STARTED=1 when it runs on the rig's own Xvfb.
set -uo pipefail
source "$(dirname "$0")/wine-env.sh"

xvfb_pid=""
rig_stop() {
    wineserver -k >/dev/null 2>&1
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=""
}
trap rig_stop EXIT

export CVT_DISPLAY_STARTED=0
if [ -z "${DISPLAY:-}" ]; then
    for number in $(seq 90 120); do
        [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ] && continue
        Xvfb ":$number" -screen 0 1280x900x24 -nolisten tcp >"$CVT_BUILD/xvfb.log" 2>&1 &
        xvfb_pid=$!
        for _ in $(seq 50); do
            [ -e "/tmp/.X11-unix/X$number" ] && break
            sleep 0.1
        done
        if kill -0 "$xvfb_pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X$number" ]; then
            export DISPLAY=":$number"
            export CVT_DISPLAY_STARTED=1
            break
        fi
        xvfb_pid=""
    done
    [ -n "${DISPLAY:-}" ] || { echo "wine-rig: could not start Xvfb" >&2; exit 1; }
fi

export LC_ALL="$CVT_WINE_LOCALE"
# A persistent wineserver makes each Wine process start in a fraction of a second.
wineserver -p >/dev/null 2>&1
"$@"
status=$?
exit $status
