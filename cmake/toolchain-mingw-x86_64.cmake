# Cross build for 64-bit Windows: the same sources, so the Windows tests run under 64-bit
# Wine on machines that cannot execute 32-bit x86 code.
set(QUILTOR_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
