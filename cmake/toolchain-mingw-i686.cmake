# Cross build for 32-bit Windows (the products) with the posix thread variant of mingw-w64.
set(QUILTOR_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
