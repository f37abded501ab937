# Install layout (under any prefix): bin/ programs; the suite's libraries in the private
# folder ${ZAM_PRIVATE_LIBDIR}; include/ public headers; share/zam/ data; share/doc/
# copyright and changelog; the default settings in etc/zam (/etc/zam for the prefix /usr);
# a CMake package config and a pkg-config file for vexo. Two components: runtime (what the
# programs need) and development (headers, package configs, unversioned library links).
# CPack makes one .deb of each (zam-suite and zam-suite-dev).

set(zam_install_programs
  TXN_BFT_CompletionTimeout_EP TXN_BFT_NegotiatedLinkWidth TXN_BFT_RequestCompletion_EP
  LinkRetrainOnRetryFail_EP_USW LinkRetrainOnRetryFail_EP_USW_No_Ack_Nack UndefinedDLLPEncoding_EP_USW
  ReXmitOnNak_EP_USW ReplayNumTest_EP_USW ReplayTimerTest_EP_USW ReplayTLPOrder_EP_USW
  ReservedFieldsDLLPReceive_EP_USW WrongSeqNumInAckDLLP_EP_USW CorruptedDLLPs_EP_USW
  DuplicateTLPSeqNum_EP_USW BadLCRC_EP_USW
  zamsuite fwtool zamdiag Brumby zamsim vexoscan lattix-check devio-list zamtrace)
# Linked by programs: versioned, with a soname and an unversioned link for building.
set(zam_install_linked_libraries vexo Lattix vexomin Quillet)
# Loaded by name at run time (the settings files name them): plain file names.
set(zam_install_loaded_libraries Pellor zamlib)

foreach(target ${zam_install_programs})
  if(TARGET ${target})
    install(TARGETS ${target} RUNTIME DESTINATION bin COMPONENT runtime)
  endif()
endforeach()
foreach(target ${zam_install_linked_libraries})
  if(TARGET ${target})
    if(NOT WIN32)
      set_target_properties(${target} PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION})
    endif()
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN")
    install(TARGETS ${target}
      LIBRARY DESTINATION ${ZAM_PRIVATE_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
      RUNTIME DESTINATION bin COMPONENT runtime)
  endif()
endforeach()
foreach(target ${zam_install_loaded_libraries})
  if(TARGET ${target})
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN")
    install(TARGETS ${target}
      LIBRARY DESTINATION ${ZAM_PRIVATE_LIBDIR} COMPONENT runtime
      RUNTIME DESTINATION bin COMPONENT runtime)
  endif()
endforeach()

# The framework's and the engine's public headers.
install(FILES vexo/include/vexo.h vexo/include/vexo_ui.h vexomin/include/vexomin.h platform/export/zam_export.h
  DESTINATION include COMPONENT development)
install(DIRECTORY lattix/include/lattix DESTINATION include COMPONENT development FILES_MATCHING PATTERN "*.h")

# Data: lab stations, a sample DAT file that reads the installed settings, the firmware
# catalogue's scripts when the tree has them.
install(DIRECTORY zamsim/stations/ DESTINATION share/zam/stations COMPONENT runtime)
install(FILES cmake/install/sample.dat DESTINATION share/zam/samples RENAME default.dat COMPONENT runtime)
if(EXISTS ${CMAKE_SOURCE_DIR}/fwtool/Tests)
  install(DIRECTORY fwtool/Tests/ DESTINATION share/zam/fwtool/Tests COMPONENT runtime)
endif()

# The default settings file, in the settings folder of the prefix the install goes to (so
# cmake --install --prefix DIR gives DIR/etc/zam and the package /etc/zam).
install(CODE "
  include(\"${CMAKE_SOURCE_DIR}/cmake/settings_folder.cmake\")
  zam_settings_folder_of_prefix(\"\${CMAKE_INSTALL_PREFIX}\" zam_settings_folder)
  file(INSTALL DESTINATION \"\${zam_settings_folder}\" TYPE FILE
       FILES \"${CMAKE_SOURCE_DIR}/tests/settings/KALIXapp.ini\")
" COMPONENT runtime)

# The udev rule that lets the seat's user reach a real card over USB (docs/zamdiag.1.md),
# in the udev rules folder of the prefix (/lib/udev/rules.d for the package).
install(CODE "
  include(\"${CMAKE_SOURCE_DIR}/cmake/settings_folder.cmake\")
  zam_udev_rules_folder_of_prefix(\"\${CMAKE_INSTALL_PREFIX}\" zam_udev_rules_folder)
  file(INSTALL DESTINATION \"\${zam_udev_rules_folder}\" TYPE FILE
       FILES \"${CMAKE_SOURCE_DIR}/cmake/install/60-zam-card.rules\")
" COMPONENT runtime)

# The hardware that rule is for, announced as AppStream metadata.
install(FILES cmake/install/org.zam.suite.metainfo.xml DESTINATION share/metainfo COMPONENT runtime)

# find_package(vexo) and pkg-config vexo, both relative to where they are installed.
include(CMakePackageConfigHelpers)
set(zam_cmake_config_dir ${ZAM_INSTALL_LIBDIR}/cmake/vexo)
set(zam_pkgconfig_dir ${ZAM_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH ZAM_CONFIG_TO_PREFIX /root/${zam_cmake_config_dir} /root)
file(RELATIVE_PATH ZAM_PKGCONFIG_TO_PREFIX /root/${zam_pkgconfig_dir} /root)
string(REGEX REPLACE "/$" "" ZAM_CONFIG_TO_PREFIX "${ZAM_CONFIG_TO_PREFIX}")
string(REGEX REPLACE "/$" "" ZAM_PKGCONFIG_TO_PREFIX "${ZAM_PKGCONFIG_TO_PREFIX}")
write_basic_package_version_file(${CMAKE_BINARY_DIR}/vexoConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
configure_file(cmake/install/vexoConfig.cmake.in ${CMAKE_BINARY_DIR}/vexoConfig.cmake @ONLY)
configure_file(cmake/install/vexo.pc.in ${CMAKE_BINARY_DIR}/vexo.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/vexoConfig.cmake ${CMAKE_BINARY_DIR}/vexoConfigVersion.cmake
  DESTINATION ${zam_cmake_config_dir} COMPONENT development)
install(FILES ${CMAKE_BINARY_DIR}/vexo.pc DESTINATION ${zam_pkgconfig_dir} COMPONENT development)

include(cmake/package.cmake)
