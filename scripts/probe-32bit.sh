#!/usr/bin/env bash
# Prints 1 when this machine executes 32-bit x86 programs natively, 0 when it cannot. Some
# machines run under a hypervisor without 32-bit compatibility mode ("Exec format error"), and
# there 32-bit Wine cannot start at all. The answer is found once and kept in
# $CVT_BUILD/runs-32bit, unless the probe could not be started at all (then it is asked again
# next time); CVT_RUNS_32BIT=0 or 1 forces it (to try the other kind's path).
# Never hangs: anything that cannot decide within a few seconds counts as 0.
set -uo pipefail
build="${CVT_BUILD:-$(cd "$(dirname "$0")/.." && pwd)/build}"
cache="$build/runs-32bit"

case "${CVT_RUNS_32BIT:-}" in
    0 | 1) echo "$CVT_RUNS_32BIT"; exit 0 ;;
    "") ;;
    *) echo "probe-32bit: CVT_RUNS_32BIT must be 0 or 1, not '$CVT_RUNS_32BIT'" >&2; exit 2 ;;
esac
if [ -f "$cache" ] && grep -qx '[01]' "$cache"; then
    cat "$cache"
    exit 0
fi

answer=0
# An emulator registered for i386 programs (qemu through binfmt_misc) would make the program
# below run, while 32-bit Wine then hangs under it: that is not a machine that runs 32-bit code.
emulated=0
for entry in /proc/sys/fs/binfmt_misc/*; do
    [ -f "$entry" ] || continue
    grep -qx enabled "$entry" 2>/dev/null &&
        grep -q '^magic 7f454c4601010100000000000000000002000300' "$entry" 2>/dev/null &&
        emulated=1
done
status=0
if [ "$emulated" -eq 0 ]; then
    # A complete i386 ELF program of 96 bytes: exit(7) through int 0x80. Made under the build
    # folder, not in a temporary folder that may be mounted noexec.
    mkdir -p "$build"
    program=$(mktemp "$build/probe32.XXXXXX") ||
        { echo "probe-32bit: cannot write under $build" >&2; exit 2; }
    printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08''\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00''\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00''\x05\x00\x00\x00\x00\x10\x00\x00\xbb\x07\x00\x00\x00\xb8\x01\x00\x00\x00\xcd\x80' >"$program"
    chmod +x "$program"
    timeout -s KILL 5 "$program" </dev/null >/dev/null 2>&1
    status=$?
    [ "$status" -eq 7 ] && answer=1
    rm -f "$program"
fi
# 126 (not executable) and 127 (not found) may say more about the folder than the machine: a
# kernel without 32-bit support answers 126 too. Such a 0 is not kept, so it is asked again.
if [ "$status" -ne 126 ] && [ "$status" -ne 127 ]; then
    mkdir -p "$build"
    echo "$answer" >"$cache"
fi
echo "$answer"
