# Environment for every Wine process of the project; sourced by the other scripts.
CVT_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
CVT_BUILD="${CVT_BUILD:-$CVT_ROOT/build}"
mkdir -p "$CVT_BUILD"
export WINEPREFIX="${WINEPREFIX:-$CVT_BUILD/wineprefix}"
export WINEARCH=win32
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export LC_ALL=ja_JP.UTF-8
