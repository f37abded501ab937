# cmake -DSOURCE=<page.md> -DPAGE=<out.N.gz> -DVERSION=<v> -DPANDOC=<pandoc> -DGZIP=<gzip>
#       -DFILTER=<man_tables.lua> -P build_man_page.cmake
# One manual page: @VERSION@ replaced by the project's version, pandoc's man output (its
# tables fitted to an 80-column terminal by the filter),
# compressed without a name or time stamp so that the same source gives the same bytes.
cmake_minimum_required(VERSION 3.25)

foreach(var SOURCE PAGE VERSION PANDOC GZIP FILTER)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "build_man_page.cmake: ${var} is not set")
  endif()
endforeach()

get_filename_component(dir ${PAGE} DIRECTORY)
string(REGEX REPLACE "\\.gz$" "" roff ${PAGE})
file(MAKE_DIRECTORY ${dir})
file(READ ${SOURCE} text)
string(REPLACE "@VERSION@" "${VERSION}" text "${text}")
file(WRITE ${roff}.md "${text}")

execute_process(COMMAND ${PANDOC} -s -f markdown -t man --lua-filter ${FILTER} ${roff}.md -o ${roff}
  RESULT_VARIABLE status ERROR_VARIABLE errors)
file(REMOVE ${roff}.md)
if(NOT status EQUAL 0 OR NOT errors STREQUAL "")
  file(REMOVE ${roff})
  message(FATAL_ERROR "pandoc could not turn ${SOURCE} into a manual page (${status}): ${errors}")
endif()
execute_process(COMMAND ${GZIP} -9nf ${roff} RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  file(REMOVE ${roff} ${PAGE})
  message(FATAL_ERROR "gzip could not compress ${roff} (${status}): ${errors}")
endif()
