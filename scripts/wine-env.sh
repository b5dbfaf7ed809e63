# Environment for every Wine process of the project; sourced by the other scripts.
#
# Two builds of the same sources run under Wine: the product's own 32-bit build (build/cross,
# 32-bit Wine) and its 64-bit twin (build/cross64, 64-bit Wine), which runs on every machine,
# also on those that cannot execute 32-bit code. CVT_WINE_BITS (32 or 64) says which one the
# Wine processes of a script run; by default the 32-bit build where this machine runs 32-bit
# code (scripts/probe-32bit.sh, which CVT_RUNS_32BIT forces), else the twin.
CVT_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
CVT_BUILD="${CVT_BUILD:-$CVT_ROOT/build}"
export CVT_BUILD
mkdir -p "$CVT_BUILD"
CVT_RUNS_32BIT_HERE="$(CVT_BUILD="$CVT_BUILD" "$CVT_ROOT/scripts/probe-32bit.sh")" || return 1
if [ -z "${CVT_WINE_BITS:-}" ]; then
    CVT_WINE_BITS=64
    [ "$CVT_RUNS_32BIT_HERE" = 1 ] && CVT_WINE_BITS=32
fi
export CVT_WINE_BITS
case "$CVT_WINE_BITS" in
    32)
        CVT_CROSS="$CVT_BUILD/cross"
        CVT_TOOLCHAIN=cmake/mingw-i686.cmake
        export WINEARCH=win32 WINEPREFIX="$CVT_BUILD/wineprefix" WINELOADER=/usr/lib/wine/wine
        ;;
    64)
        CVT_CROSS="$CVT_BUILD/cross64"
        CVT_TOOLCHAIN=cmake/mingw-x86_64.cmake
        export WINEARCH=win64 WINEPREFIX="$CVT_BUILD/wineprefix64" WINELOADER=/usr/lib/wine/wine64
        ;;
    *) echo "wine-env: CVT_WINE_BITS must be 32 or 64, not '$CVT_WINE_BITS'" >&2; return 1 ;;
esac
CVT_BIN="$CVT_CROSS/bin"
# "wine" on PATH runs $WINELOADER, the loader of the chosen width (Debian's own wrapper would
# prefer 32-bit Wine whenever it is installed).
CVT_WINE_PATH="$CVT_BUILD/wine-path"
if [ ! -x "$CVT_WINE_PATH/wine" ]; then
    mkdir -p "$CVT_WINE_PATH"
    printf '#!/bin/sh\nexec "$WINELOADER" "$@"\n' >"$CVT_WINE_PATH/wine"
    chmod +x "$CVT_WINE_PATH/wine"
fi
case ":$PATH:" in
    *":$CVT_WINE_PATH:"*) ;;
    *) export PATH="$CVT_WINE_PATH:$PATH" ;;
esac
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# Wine runs under the Japanese locale (ANSI code page 932); the rig and setup export it.
CVT_WINE_LOCALE=ja_JP.UTF-8
