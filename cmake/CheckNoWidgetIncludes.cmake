# Script mode, run before a widget-free library compiles: fails when one of its sources
# includes a Qt Widgets header or a uic form. TARGET, SOURCES_FILE, PATTERN_FILE and STAMP come
# from ForbidWidgets.cmake.
file(READ ${PATTERN_FILE} headers)
file(READ ${SOURCES_FILE} sources)
set(found)
foreach(source ${sources})
  file(STRINGS ${source} lines REGEX "^[ \t]*#[ \t]*include")
  foreach(line ${lines})
    if(line MATCHES "[<\"](QtWidgets/)?(${headers})[>\"]" OR line MATCHES "[<\"/]ui_[^/]*\\.h[>\"]"
       OR line MATCHES "<QtWidgets[/>]")
      list(APPEND found "${source}: ${line}")
    endif()
  endforeach()
endforeach()
if(found)
  list(JOIN found "\n  " report)
  message(FATAL_ERROR "${TARGET} must not include Qt Widgets:\n  ${report}")
endif()
file(TOUCH ${STAMP})
