# Environment for every Wine process of the project; sourced by the other scripts.
CVT_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
CVT_BUILD="${CVT_BUILD:-$CVT_ROOT/build}"
mkdir -p "$CVT_BUILD"
export WINEPREFIX="${WINEPREFIX:-$CVT_BUILD/wineprefix}"
export WINEARCH=win32
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# Wine runs under the Japanese locale (ANSI code page 932); the rig and setup export it.
CVT_WINE_LOCALE=ja_JP.UTF-8
