# Libraries that must not reach Qt Widgets: the store core, the reader link core and the desk's
# logic. tallyclock_forbid_widgets(<target>) makes that a build error in two ways: once every
# target is known, the target's whole link closure is searched for Qt6::Widgets; and before the
# target compiles, its sources are searched for an include of a Qt Widgets header (in any
# spelling, <QWidget> or <QtWidgets/QWidget>), of a form made by uic, or of one of the program's
# own headers that is not part of a library without widgets (a header that only declares a
# widget function would otherwise compile, and the static link would not tell).

set(TALLYCLOCK_WIDGET_CHECK_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/CheckNoWidgetIncludes.cmake)
# The program's headers the widget-free libraries may include, written once all are known.
set(TALLYCLOCK_WIDGET_FREE_HEADERS ${CMAKE_BINARY_DIR}/widget_free_headers.txt)

# The names of the Qt Widgets headers on this machine, one regex alternative each.
function(tallyclock_widget_header_pattern out)
  get_target_property(dirs Qt6::Widgets INTERFACE_INCLUDE_DIRECTORIES)
  set(names)
  foreach(dir ${dirs})
    if(dir MATCHES "QtWidgets$" AND IS_DIRECTORY ${dir})
      file(GLOB headers RELATIVE ${dir} ${dir}/Q*)
      list(APPEND names ${headers})
    endif()
  endforeach()
  list(FILTER names INCLUDE REGEX "^Q[A-Za-z0-9]+$")
  list(REMOVE_DUPLICATES names)
  if(NOT names)
    message(FATAL_ERROR "The Qt Widgets headers were not found")
  endif()
  list(JOIN names "|" pattern)
  set(${out} "${pattern}" PARENT_SCOPE)
endfunction()

function(tallyclock_forbid_widgets target)
  set_property(GLOBAL APPEND PROPERTY TALLYCLOCK_WIDGET_FREE_TARGETS ${target})

  tallyclock_widget_header_pattern(pattern)
  set(pattern_file ${CMAKE_CURRENT_BINARY_DIR}/${target}_widget_headers.txt)
  file(WRITE ${pattern_file} "${pattern}")
  get_target_property(sources ${target} SOURCES)
  get_target_property(source_dir ${target} SOURCE_DIR)
  set(files)
  foreach(source ${sources})
    cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${source_dir})
    list(APPEND files ${source})
  endforeach()
  set(list_file ${CMAKE_CURRENT_BINARY_DIR}/${target}_widget_check_sources.txt)
  file(WRITE ${list_file} "${files}")
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${target}_no_widgets.stamp)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DTARGET=${target} -DSOURCES_FILE=${list_file}
            -DPATTERN_FILE=${pattern_file} -DOWN_ROOT=${CMAKE_SOURCE_DIR}/src
            -DALLOWED_FILE=${TALLYCLOCK_WIDGET_FREE_HEADERS} -DSTAMP=${stamp}
            -P ${TALLYCLOCK_WIDGET_CHECK_SCRIPT}
    DEPENDS ${files} ${list_file} ${pattern_file} ${TALLYCLOCK_WIDGET_FREE_HEADERS}
            ${TALLYCLOCK_WIDGET_CHECK_SCRIPT}
    COMMENT "Checking that ${target} includes no Qt Widgets header"
    VERBATIM)
  add_custom_target(${target}_no_widgets DEPENDS ${stamp})
  add_dependencies(${target} ${target}_no_widgets)
endfunction()

# Every library a target links, directly or through others, as plain names.
function(tallyclock_link_closure target out)
  set(seen)
  set(todo ${target})
  while(todo)
    list(POP_FRONT todo current)
    if(current IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${current})
    if(NOT TARGET ${current})
      continue()
    endif()
    get_target_property(type ${current} TYPE)
    set(links)
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(direct ${current} LINK_LIBRARIES)
      if(direct)
        list(APPEND links ${direct})
      endif()
    endif()
    get_target_property(interface ${current} INTERFACE_LINK_LIBRARIES)
    if(interface)
      list(APPEND links ${interface})
    endif()
    foreach(link ${links})
      # $<LINK_ONLY:Qt6::Gui> and the like name a library all the same.
      string(REGEX REPLACE "^\\$<[A-Z_]+:(.*)>$" "\\1" link "${link}")
      if(link AND NOT link MATCHES "[$<>]")
        list(APPEND todo ${link})
      endif()
    endforeach()
  endwhile()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

function(tallyclock_check_widget_free_links)
  get_property(targets GLOBAL PROPERTY TALLYCLOCK_WIDGET_FREE_TARGETS)
  set(headers)
  foreach(target ${targets})
    get_target_property(sources ${target} SOURCES)
    get_target_property(source_dir ${target} SOURCE_DIR)
    foreach(source ${sources})
      cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${source_dir})
      if(source MATCHES "\\.h$")
        cmake_path(RELATIVE_PATH source BASE_DIRECTORY ${CMAKE_SOURCE_DIR}/src)
        list(APPEND headers ${source})
      endif()
    endforeach()
  endforeach()
  list(SORT headers)
  # Rewritten only when it changes, so a new configure does not rerun every check.
  file(CONFIGURE OUTPUT ${TALLYCLOCK_WIDGET_FREE_HEADERS} CONTENT "${headers}")
  foreach(target ${targets})
    tallyclock_link_closure(${target} closure)
    foreach(lib ${closure})
      if(lib MATCHES "Widgets")
        message(FATAL_ERROR "${target} must not link Qt Widgets, but reaches ${lib}")
      endif()
    endforeach()
  endforeach()
endfunction()

# Once every target of the project is defined and linked.
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL tallyclock_check_widget_free_links)
