# The ways around the layers' include roots, refused (run by the build of
# every library, cmake -DSOURCE_DIR=... -DBINARY_DIR=... -DSTAMP=... -P
# IncludeRules.cmake):
# - an include that names a path with ".." (quoted or in angle brackets) and
#   reaches a file outside the folder of its own layer (src/<layer>, src
#   for the program, tools/<tool>), resolved as the compiler resolves it:
#   beside the including file or under any layer's include root, through
#   the roots' links to the layers' folders;
# - an include by an absolute path;
# - a Qt header named through its module (<QtWidgets/QWidget>): Qt Core's
#   include path holds every module's folder, so a layer could reach a Qt
#   module it does not link. A header named alone (<QWidget>) is found only
#   by a target that links its module.
file(GLOB_RECURSE sources LIST_DIRECTORIES false
     "${SOURCE_DIR}/src/*.h" "${SOURCE_DIR}/src/*.cpp" "${SOURCE_DIR}/tools/*.h" "${SOURCE_DIR}/tools/*.cpp")
set(problems "")
file(REAL_PATH "${SOURCE_DIR}" real_source_dir)
file(GLOB layer_roots LIST_DIRECTORIES true "${BINARY_DIR}/layers/*")
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
    if(line MATCHES "#[ \t]*include[ \t]*[\"<](/[^\">]*)[\">]")
      string(APPEND problems "${relative}: ${line}: an absolute path\n")
    elseif(line MATCHES "#[ \t]*include[ \t]*[\"<]([^\">]*\\.\\.[^\">]*)[\">]")
      set(named "${CMAKE_MATCH_1}")
      foreach(base "${folder}" ${layer_roots})
        # The operating system's resolution: links first, then "..".
        if(EXISTS "${base}/${named}")
          file(REAL_PATH "${base}/${named}" target)
          file(RELATIVE_PATH reached "${real_source_dir}" "${target}")
          string(FIND "${reached}" "${layer}" at)
          if(NOT at EQUAL 0)
            string(APPEND problems "${relative}: ${line}: reaches ${reached}, outside ${layer}\n")
            break()
          endif()
        endif()
      endforeach()
    elseif(line MATCHES "#[ \t]*include[ \t]*<Qt[A-Za-z]+/")
      string(APPEND problems "${relative}: ${line}: name a Qt header without its module\n")
    endif()
  endforeach()
endforeach()
if(problems)
  message(FATAL_ERROR "Includes that go around the layers:\n${problems}")
endif()
file(TOUCH "${STAMP}")
