# After the build: install into a temporary prefix and check that every program in bin/
# answers --help and --version (scripts/installed_programs_test.sh).
if(NOT WIN32)
  set(zam_installed_programs)
  foreach(target ${zam_install_programs})
    if(TARGET ${target})
      list(APPEND zam_installed_programs ${target})
    endif()
  endforeach()
  add_test(NAME installed_programs_options
    COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/installed_programs_test.sh ${CMAKE_BINARY_DIR}
      ${PROJECT_VERSION} ${zam_installed_programs})
  set_tests_properties(installed_programs_options PROPERTIES LABELS unit TIMEOUT 120)
endif()
