# Cross build for 32-bit Windows with MinGW-w64: the release build.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(INSTALADOR_MINGW_TARGET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
