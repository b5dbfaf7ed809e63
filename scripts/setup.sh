#!/usr/bin/env bash
# Installs what building and testing need on a Debian 12 machine and prepares the project's
# Wine prefix. Idempotent: a second run changes nothing and takes about a second.
#   scripts/setup.sh            packages, locale and the Wine prefix
#   scripts/setup.sh --prefix   only the Wine prefix (packages assumed present)
# The prefix is the one of CVT_WINE_BITS (scripts/wine-env.sh): 32-bit where this machine runs
# 32-bit code, else the 64-bit twin's. 32-bit Wine and the i386 architecture are installed only
# where 32-bit programs can run; the 32-bit cross compilers always, since the product is built
# everywhere.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-env.sh

PACKAGES=(
    make cmake g++ clang clang-format libclang-rt-14-dev googletest libgtest-dev
    libbenchmark-dev locales git
    g++-mingw-w64-i686-posix g++-mingw-w64-i686-win32 mingw-w64-i686-dev binutils-mingw-w64-i686
    g++-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-win32 mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
    wine wine64 fonts-wine xvfb xauth x11-utils fonts-ipafont-gothic imagemagick xdotool xclip
    zip unzip
)
[ "$CVT_RUNS_32BIT_HERE" = 1 ] && PACKAGES+=(wine32:i386)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_packages() {
    local missing=()
    for package in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return
    echo "setup: installing ${missing[*]}"
    if [ "$CVT_RUNS_32BIT_HERE" = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        as_root dpkg --add-architecture i386
    fi
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}

enable_japanese_locale() {
    locale -a 2>/dev/null | grep -qix 'ja_JP.utf8' && return
    echo "setup: generating ja_JP.UTF-8"
    as_root sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
    as_root locale-gen >/dev/null
}

# Wine under the Japanese locale. Only the Wine commands get it: this shell may have looked
# for locales before ja_JP.UTF-8 was generated, and glibc does not look again in the same
# process, so setting LC_ALL here would only print bash's warning that it cannot.
japanese_wine() {
    env LC_ALL="$CVT_WINE_LOCALE" wine "$@"
}

# The prefix is created under the Japanese locale (so ANSI code page 932 and Japanese UI
# fonts) and with Managed=N: without a window manager each destroyed top-level window would
# otherwise cost about two seconds.
prepare_prefix() {
    [ -f "$WINEPREFIX/.cvt-ready" ] && return
    echo "setup: creating the $CVT_WINE_BITS-bit Wine prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    japanese_wine wineboot.exe -i >"$CVT_BUILD/wineboot$CVT_WINE_BITS.log" 2>&1 || true
    wineserver -w
    japanese_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
        >>"$CVT_BUILD/wineboot$CVT_WINE_BITS.log" 2>&1
    wineserver -w
    [ -f "$WINEPREFIX/system.reg" ] || { echo "setup: Wine prefix not created" >&2; exit 1; }
    touch "$WINEPREFIX/.cvt-ready"
}

# Japanese Windows draws dialogs in MS UI Gothic, whose kana and Latin letters are
# proportional; Wine would fall back to the monospaced IPAGothic, in which the dialogs' texts
# are too wide for their controls. Marlett draws the caption buttons (Wine does not find it
# outside the prefix). A separate mark, so that existing prefixes get it too.
prepare_fonts() {
    [ -f "$WINEPREFIX/.cvt-fonts" ] && return
    echo "setup: fonts for the Wine prefix"
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    japanese_wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS UI Gothic' /t REG_SZ \
        /d IPAPGothic /f >>"$CVT_BUILD/wineboot$CVT_WINE_BITS.log" 2>&1
    wineserver -w
    touch "$WINEPREFIX/.cvt-fonts"
}

if [ "${1:-}" != "--prefix" ]; then
    install_packages
    enable_japanese_locale
fi
prepare_prefix
prepare_fonts
