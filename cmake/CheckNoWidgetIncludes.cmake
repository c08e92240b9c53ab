# Script mode, run before a widget-free library compiles: fails when one of its sources
# includes a Qt Widgets header, a uic form, or a header of the program (under OWN_ROOT) that is
# not in the list of widget-free headers. TARGET, SOURCES_FILE, PATTERN_FILE, OWN_ROOT,
# ALLOWED_FILE and STAMP come from ForbidWidgets.cmake.
cmake_minimum_required(VERSION 3.25)
file(READ ${PATTERN_FILE} headers)
file(READ ${SOURCES_FILE} sources)
file(READ ${ALLOWED_FILE} allowed)
set(found)
foreach(source ${sources})
  file(STRINGS ${source} lines REGEX "^[ \t]*#[ \t]*include")
  foreach(line ${lines})
    if(line MATCHES "[<\"](QtWidgets/)?(${headers})[>\"]" OR line MATCHES "[<\"/]ui_[^/]*\\.h[>\"]"
       OR line MATCHES "<QtWidgets[/>]")
      list(APPEND found "${source}: ${line}")
    elseif(line MATCHES "\"([^\"]+)\"")
      set(own ${CMAKE_MATCH_1})
      if(EXISTS ${OWN_ROOT}/${own} AND NOT own IN_LIST allowed)
        list(APPEND found "${source}: ${line} (a header of a library with widgets)")
      endif()
    endif()
  endforeach()
endforeach()
if(found)
  list(JOIN found "\n  " report)
  message(FATAL_ERROR "${TARGET} must not include Qt Widgets:\n  ${report}")
endif()
file(TOUCH ${STAMP})
