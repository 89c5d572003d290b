# The two ways around the layers' include roots, refused (run by the build,
# cmake -DSOURCE_DIR=... -DSTAMP=... -P IncludeRules.cmake):
# - a quoted include that climbs ("../x.h") out of the folder of its own
#   layer (src/<layer>, src for the program, tools/<tool>): the compiler
#   finds it beside the including file whatever the target may see;
# - a Qt header named through its module (<QtWidgets/QWidget>): Qt Core's
#   include path holds every module's folder, so a layer could reach a Qt
#   module it does not link.
file(GLOB_RECURSE sources LIST_DIRECTORIES false
     "${SOURCE_DIR}/src/*.h" "${SOURCE_DIR}/src/*.cpp" "${SOURCE_DIR}/tools/*.h" "${SOURCE_DIR}/tools/*.cpp")
set(problems "")
foreach(source ${sources})
  file(RELATIVE_PATH relative "${SOURCE_DIR}" "${source}")
  # The layer's folder: the first two parts of the path, or src itself.
  string(REGEX MATCH "^(src|tools)/[^/]+/" layer "${relative}")
  if(NOT layer)
    set(layer "src/")
  endif()
  get_filename_component(folder "${source}" DIRECTORY)
  file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include")
  foreach(line ${includes})
    if(line MATCHES "#[ \t]*include[ \t]*\"([^\"]*\\.\\./[^\"]*)\"")
      get_filename_component(target "${folder}/${CMAKE_MATCH_1}" ABSOLUTE)
      file(RELATIVE_PATH reached "${SOURCE_DIR}" "${target}")
      string(FIND "${reached}" "${layer}" at)
      if(NOT at EQUAL 0)
        string(APPEND problems "${relative}: ${line}: reaches ${reached}, outside ${layer}\n")
      endif()
    elseif(line MATCHES "#[ \t]*include[ \t]*<Qt[A-Za-z]+/")
      string(APPEND problems "${relative}: ${line}: name a Qt header without its module\n")
    endif()
  endforeach()
endforeach()
if(problems)
  message(FATAL_ERROR "Includes that go around the layers:\n${problems}")
endif()
file(TOUCH "${STAMP}")
