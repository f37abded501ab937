# Windows build settings: Windows library names, GoogleTest built from source, the compiler's
# runtime libraries copied beside the programs.

# The folders the Windows build has. Left out: the lab end-to-end tests, benchmarks and
# fuzzers, Linux tools. The lab daemon (zamsim) builds without its usbredir side and the
# Linux shared-memory channel.
set(ZAM_WINDOWS_FOLDERS platform lattix zamtrace pellor vexo quillet vexomin zamlib tests fwtool zamdiag brumby zamsim zamsuite)

# expat, built for the target from Debian's sources by scripts/windows-expat (run by
# scripts/bootstrap --windows) into build/deps/<triplet>, which the toolchain searches. It is
# a static library: its header must not declare the functions as DLL imports.
find_package(EXPAT)
if(NOT EXPAT_FOUND)
  message(FATAL_ERROR "expat for ${ZAM_MINGW_TRIPLE} not found in ${ZAM_WINDOWS_DEPS_DIR}: "
                      "run scripts/bootstrap --windows (or scripts/windows-expat)")
endif()
set_property(TARGET EXPAT::EXPAT APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS XML_STATIC)

# The unit tests that build and pass under wine so far; the others still use POSIX calls
# directly (pipes, fork, terminals) and wait for their own port.
set(ZAM_WINDOWS_TESTS platform_test lattix_tests zamtrace_tests vexo_test vexo_card_test vexo_exports_test
    vexo_device_test vexo_ui_test vexomin_test vexomin_exports_test fwtool_test compliance_skeleton_test
    pellor_test quillet_test zamlib_test zamsuite_test brumby_test zamdiag_test zamsim_test)

# The build tree's absolute paths as test programs under wine see them (wine's drive Z: is the
# Linux root): a path the suite turns into a Windows path ("/" made "\\") stays absolute.
set(ZAM_HOST_PATH_PREFIX "Z:")

# No libusb for the cross target: the EZ-USB names go to the Windows driver.
set(ZAM_WITH_LIBUSB OFF CACHE BOOL "" FORCE)
# No usbredir for the cross target either (the host's pkg-config would find the Linux one).
set(ZAM_WITH_USBREDIR OFF CACHE BOOL "" FORCE)

# vexo.dll, not libvexo.dll.
set(CMAKE_SHARED_LIBRARY_PREFIX "")
set(CMAKE_SHARED_MODULE_PREFIX "")
set(CMAKE_IMPORT_LIBRARY_PREFIX "")

# Debian ships GoogleTest as sources; build them for the cross target.
set(ZAM_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for the cross build")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${ZAM_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
set(GTest_FOUND TRUE)

# The runtime DLLs of the compiler (libstdc++, libgcc, winpthread) beside the programs, so the
# bin folder runs as it is, under wine or copied to a station.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
                OUTPUT_VARIABLE zam_libstdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(zam_gcc_dir ${zam_libstdcxx} DIRECTORY)
file(GLOB zam_runtime_dlls ${zam_gcc_dir}/libstdc++-6.dll ${zam_gcc_dir}/libgcc_s_*.dll
     /usr/${ZAM_MINGW_TRIPLE}/lib/libwinpthread-1.dll)
file(COPY ${zam_runtime_dlls} DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
