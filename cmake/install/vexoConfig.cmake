# find_package(vexo): the imported targets vexo::vexo (framework) and vexo::Lattix (engine).
get_filename_component(_vexo_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)

if(NOT TARGET vexo::vexo)
  add_library(vexo::vexo SHARED IMPORTED)
  set_target_properties(vexo::vexo PROPERTIES
    IMPORTED_LOCATION "${_vexo_prefix}/lib/libvexo.so"
    INTERFACE_INCLUDE_DIRECTORIES "${_vexo_prefix}/include")
endif()
if(NOT TARGET vexo::Lattix AND EXISTS "${_vexo_prefix}/lib/libLattix.so")
  add_library(vexo::Lattix SHARED IMPORTED)
  set_target_properties(vexo::Lattix PROPERTIES
    IMPORTED_LOCATION "${_vexo_prefix}/lib/libLattix.so"
    INTERFACE_INCLUDE_DIRECTORIES "${_vexo_prefix}/include")
endif()
if(NOT EXISTS "${_vexo_prefix}/lib/libvexo.so")
  set(vexo_FOUND FALSE)
  set(vexo_NOT_FOUND_MESSAGE "libvexo.so is missing below ${_vexo_prefix}")
endif()
set(vexo_LIBRARY_DIR "${_vexo_prefix}/lib")
set(vexo_DATA_DIR "${_vexo_prefix}/share/zam")
unset(_vexo_prefix)
