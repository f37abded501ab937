# Toolchain of the 32-bit Windows build (the stations' target).
set(ZAM_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
