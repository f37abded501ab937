# Install layout: bin/ programs, lib/ libraries, include/ public headers, share/zam/ data,
# etc/zam/ default settings, a CMake package config and a pkg-config file for vexo; CPack .deb.
# Programs carry the RUNPATH $ORIGIN/../lib, so the tree can be unpacked under any prefix.

set(zam_install_programs
  TXN_BFT_CompletionTimeout_EP TXN_BFT_NegotiatedLinkWidth TXN_BFT_RequestCompletion_EP
  LinkRetrainOnRetryFail_EP_USW LinkRetrainOnRetryFail_EP_USW_No_Ack_Nack UndefinedDLLPEncoding_EP_USW
  ReXmitOnNak_EP_USW ReplayNumTest_EP_USW ReplayTimerTest_EP_USW ReplayTLPOrder_EP_USW
  ReservedFieldsDLLPReceive_EP_USW WrongSeqNumInAckDLLP_EP_USW CorruptedDLLPs_EP_USW
  DuplicateTLPSeqNum_EP_USW BadLCRC_EP_USW
  zamsuite fwtool zamdiag Brumby zamsim vexoscan lattix-check devio-list)
set(zam_install_libraries vexo Pellor Lattix vexomin Quillet zamlib)

foreach(target ${zam_install_programs})
  if(TARGET ${target})
    install(TARGETS ${target} RUNTIME DESTINATION bin COMPONENT runtime)
  endif()
endforeach()
foreach(target ${zam_install_libraries})
  if(TARGET ${target})
    install(TARGETS ${target} LIBRARY DESTINATION lib RUNTIME DESTINATION bin COMPONENT runtime)
  endif()
endforeach()

# The framework's and the engine's public headers.
install(FILES vexo/include/vexo.h vexo/include/vexo_ui.h vexomin/include/vexomin.h platform/export/zam_export.h
  DESTINATION include)
install(DIRECTORY lattix/include/lattix DESTINATION include FILES_MATCHING PATTERN "*.h")

# Data: lab stations, a sample DAT file that reads the installed settings, the firmware
# catalogue's scripts when the tree has them.
install(DIRECTORY zamsim/stations/ DESTINATION share/zam/stations)
install(FILES cmake/install/sample.dat DESTINATION share/zam/samples RENAME default.dat)
if(EXISTS ${CMAKE_SOURCE_DIR}/fwtool/Tests)
  install(DIRECTORY fwtool/Tests/ DESTINATION share/zam/fwtool/Tests)
endif()
install(FILES tests/settings/KALIXapp.ini DESTINATION etc/zam)

# find_package(vexo) and pkg-config vexo.
include(CMakePackageConfigHelpers)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/vexoConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
configure_file(cmake/install/vexo.pc.in ${CMAKE_BINARY_DIR}/vexo.pc @ONLY)
install(FILES cmake/install/vexoConfig.cmake ${CMAKE_BINARY_DIR}/vexoConfigVersion.cmake
  DESTINATION lib/cmake/vexo)
install(FILES ${CMAKE_BINARY_DIR}/vexo.pc DESTINATION lib/pkgconfig)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zam-suite)
set(CPACK_PACKAGE_VENDOR "ZAM test suite team")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "PCI Express compliance test programs, firmware test tool, virtual lab and suite runner")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "ZAM test suite team <zam@example.invalid>")
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libexpat1, libstdc++6, libc6")
if(ZAM_HAVE_LIBUSB)
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", libusb-1.0-0")
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
include(CPack)
