# Build helpers shared by every folder.

# zam_add_unit_test(<name> SOURCES <files...> LIBS <targets...>)
# A GoogleTest executable registered with CTest; tests are discovered when CTest runs,
# so a sanitizer build does not run test binaries at build time.
function(zam_add_unit_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock Threads::Threads)
  # The Windows build builds and registers the unit tests ported to it so far
  # (ZAM_WINDOWS_TESTS in cmake/windows.cmake); the others stay out of its default build.
  if(WIN32 AND NOT name IN_LIST ZAM_WINDOWS_TESTS)
    set_target_properties(${name} PROPERTIES EXCLUDE_FROM_ALL ON)
    return()
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 300 LABELS unit)
endfunction()

# zam_add_benchmark(<name> SOURCES <files...> LIBS <targets...>)
# Benchmarks build only when Google Benchmark is installed; they are never part of CTest.
function(zam_add_benchmark name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  find_package(benchmark QUIET)
  if(NOT benchmark_FOUND)
    message(STATUS "Google Benchmark not found: ${name} is not built")
    return()
  endif()
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark Threads::Threads)
endfunction()
