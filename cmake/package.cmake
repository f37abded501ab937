# The Debian packages CPack makes: zam-suite (component runtime) and zam-suite-dev
# (component development), with their copyright file, changelog and computed
# shared-library dependencies. `cd build/<preset> && cpack -G DEB` makes both.

set(zam_package_name zam-suite)
set(zam_package_maintainer "ZAM test suite team <zam@example.invalid>")

# Every package carries the copyright file and the changelog (a native package's
# changelog.gz, compressed as Debian's tools do: gzip -9n, no name or time stamp).
configure_file(cmake/package/changelog.in ${CMAKE_BINARY_DIR}/package/changelog @ONLY)
if(NOT WIN32)
  find_program(ZAM_GZIP gzip)
  if(ZAM_GZIP)
    execute_process(COMMAND ${ZAM_GZIP} -9n -c ${CMAKE_BINARY_DIR}/package/changelog
                    OUTPUT_FILE ${CMAKE_BINARY_DIR}/package/changelog.gz RESULT_VARIABLE zam_gzip_status)
    if(NOT zam_gzip_status EQUAL 0)
      message(FATAL_ERROR "gzip of the package changelog failed: ${zam_gzip_status}")
    endif()
    foreach(package ${zam_package_name} ${zam_package_name}-dev)
      if(package STREQUAL zam_package_name)
        set(component runtime)
      else()
        set(component development)
      endif()
      install(FILES cmake/package/copyright ${CMAKE_BINARY_DIR}/package/changelog.gz
        DESTINATION share/doc/${package} COMPONENT ${component})
    endforeach()
  endif()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${zam_package_name})
set(CPACK_PACKAGE_VENDOR "ZAM test suite team")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime development)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${zam_package_maintainer}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${zam_package_name})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION electronics)
# Dependencies from the libraries the programs and the suite's libraries link; dpkg-shlibdeps
# finds the suite's own in the private folder through their $ORIGIN run paths.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${ZAM_PRIVATE_LIBDIR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/cmake/package/conffiles)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
"PCI Express compliance test suite with a virtual lab
The ZAM suite tests a PCI Express device under test (DUT) through a
programmable protocol test card. It holds fifteen data link layer and
transaction compliance test programs, the suite runner zamsuite with
JUnit and HTML reports, the firmware enumeration test tool fwtool, the
card diagnostics zamdiag, the driver-package cleaner Brumby, the
configuration-space tools vexoscan, lattix-check and devio-list, and the
virtual lab zamsim, which plays the card, the drivers, the DUT and the
system under test so that every program runs without hardware.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME ${zam_package_name}-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "${zam_package_name} (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
"PCI Express compliance test suite - development files
Headers, the CMake package configuration (find_package(vexo)), the
pkg-config file (vexo.pc) and the library links needed to build compliance
test programs of one's own against the ZAM framework library vexo and the
configuration-space engine Lattix.")

include(CPack)
