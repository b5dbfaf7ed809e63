#!/bin/sh
# Compiler and linker launcher for the plug-in: runs the win32-thread flavour of the mingw-w64
# compiler that CMake names (i686-w64-mingw32-g++-posix becomes i686-w64-mingw32-g++-win32).
compiler=$1
shift
case "$compiler" in
    *-posix) exec "${compiler%-posix}-win32" "$@" ;;
    *) exec "$compiler" "$@" ;;
esac
