# What the MinGW-w64 cross builds share; the toolchain files name the target first:
#   INSTALADOR_MINGW_TARGET  i686-w64-mingw32 or x86_64-w64-mingw32
# The -posix variants carry std::thread and std::mutex, which GoogleTest needs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${INSTALADOR_MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${INSTALADOR_MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER ${INSTALADOR_MINGW_TARGET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${INSTALADOR_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# zlib links statically: nothing to ship beside the .exe.
set(ZLIB_USE_STATIC_LIBS ON)
set(ZLIB_LIBRARY /usr/${INSTALADOR_MINGW_TARGET}/lib/libz.a CACHE FILEPATH "")
set(ZLIB_INCLUDE_DIR /usr/${INSTALADOR_MINGW_TARGET}/include CACHE PATH "")
