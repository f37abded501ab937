# Cross toolchain for Windows with Debian's MinGW-w64 compilers, included by the toolchain
# file of each target, which sets ZAM_MINGW_TRIPLE first. Tests run under wine.
set(CMAKE_SYSTEM_NAME Windows)
if(ZAM_MINGW_TRIPLE MATCHES "^i686")
  set(CMAKE_SYSTEM_PROCESSOR x86)
else()
  set(CMAKE_SYSTEM_PROCESSOR AMD64)
endif()
# The posix thread model gives std::thread and std::mutex.
set(CMAKE_C_COMPILER ${ZAM_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZAM_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZAM_MINGW_TRIPLE}-windres)
# The MinGW system folder, and the libraries built for the target by scripts/windows-expat.
get_filename_component(ZAM_WINDOWS_DEPS_DIR ${CMAKE_CURRENT_LIST_DIR}/../build/deps/${ZAM_MINGW_TRIPLE} ABSOLUTE)
set(CMAKE_FIND_ROOT_PATH /usr/${ZAM_MINGW_TRIPLE} ${ZAM_WINDOWS_DEPS_DIR})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Debian's `wine` runs 64-bit programs, and 32-bit ones where wine32:i386 is installed.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
