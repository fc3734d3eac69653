# SPDX-License-Identifier: MIT
# tallyfern_area(NAME SOURCES... LINKS ...): a static library of an area's sources,
# or an interface library while the area has none yet.
function(tallyfern_area name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  list(FILTER ARG_SOURCES INCLUDE REGEX "\\.cpp$")
  if(ARG_SOURCES)
    add_library(${name} STATIC ${ARG_SOURCES})
    target_link_libraries(${name} PUBLIC ${ARG_LINKS})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${ARG_LINKS})
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
  endif()
endfunction()
