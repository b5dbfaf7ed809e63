# The parts of the two cross toolchains that differ only by the target's triple, which the
# including toolchain file sets as CVT_MINGW_TRIPLE. The posix-thread flavour of the compilers
# is used because GoogleTest needs std::mutex; everything is linked statically, and the plug-in
# itself is built with the win32-thread flavour (see CMakeLists.txt).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${CVT_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CVT_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${CVT_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${CVT_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
