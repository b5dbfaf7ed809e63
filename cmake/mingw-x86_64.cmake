# Cross toolchain for the 64-bit twin: the same sources built for x86_64, so that the Wine
# suite, the demo and the pictures run under 64-bit Wine on machines that cannot execute 32-bit
# code. The product stays the 32-bit DLL of cmake/mingw-i686.cmake.
set(CVT_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
