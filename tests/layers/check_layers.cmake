# Fails when an include points up the layers: a folder below app/ including app/, or the
# audio library including any program folder. Folders that do not exist yet are covered
# as soon as they appear.
#
#   cmake -DROOT=<source tree> -P check_layers.cmake

if(NOT DEFINED ROOT)
  message(FATAL_ERROR "check_layers: ROOT is not set")
endif()

set(below_app core db platform player scheduler windows editors recorder sonvox)
set(program_folders app core db platform player scheduler windows editors recorder)
list(JOIN program_folders "|" program_alternatives)

set(violations "")
foreach(folder IN LISTS below_app)
  if(NOT IS_DIRECTORY "${ROOT}/${folder}")
    continue()
  endif()
  if(folder STREQUAL "sonvox")
    set(forbidden "(${program_alternatives})")
  else()
    set(forbidden "app")
  endif()
  file(GLOB_RECURSE sources "${ROOT}/${folder}/*.h" "${ROOT}/${folder}/*.hpp" "${ROOT}/${folder}/*.c"
       "${ROOT}/${folder}/*.cc" "${ROOT}/${folder}/*.cpp")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    foreach(line IN LISTS includes)
      if(line MATCHES "#[ \t]*include[ \t]*[\"<](\\.\\./)*${forbidden}/")
        file(RELATIVE_PATH shown "${ROOT}" "${source}")
        string(STRIP "${line}" line)
        list(APPEND violations "${shown}: ${line}")
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  list(JOIN violations "\n  " text)
  message(FATAL_ERROR "includes against the layers (app/ is the top; sonvox/ includes only itself):\n  ${text}")
endif()
message(STATUS "layers: every include points down")
