# The system settings folder of an install prefix: <prefix>/etc/zam, except that a prefix
# whose last folder is usr keeps its settings in etc/zam beside it, as /usr keeps them in
# /etc. The programs find the folder by the same rule (platform/install_layout.h).
function(zam_settings_folder_of_prefix prefix out)
  string(REGEX REPLACE "/+$" "" path "${prefix}")
  get_filename_component(last "${path}" NAME)
  get_filename_component(above "${path}" DIRECTORY)
  if(last STREQUAL "usr")
    string(REGEX REPLACE "/+$" "" above "${above}")
    set(${out} "${above}/etc/zam" PARENT_SCOPE)
  else()
    set(${out} "${path}/etc/zam" PARENT_SCOPE)
  endif()
endfunction()

# The udev rules folder of an install prefix, by the same rule: /usr puts its rules in
# /lib/udev/rules.d, where Debian's udev packages keep theirs; another prefix in
# <prefix>/lib/udev/rules.d.
function(zam_udev_rules_folder_of_prefix prefix out)
  string(REGEX REPLACE "/+$" "" path "${prefix}")
  get_filename_component(last "${path}" NAME)
  get_filename_component(above "${path}" DIRECTORY)
  if(last STREQUAL "usr")
    string(REGEX REPLACE "/+$" "" above "${above}")
    set(${out} "${above}/lib/udev/rules.d" PARENT_SCOPE)
  else()
    set(${out} "${path}/lib/udev/rules.d" PARENT_SCOPE)
  endif()
endfunction()
