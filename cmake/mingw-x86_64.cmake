# Cross build for 64-bit Windows with MinGW-w64: a test build only, for machines whose Wine runs
# no 32-bit programs (the release is the 32-bit build of mingw-i686.cmake).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(INSTALADOR_MINGW_TARGET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
