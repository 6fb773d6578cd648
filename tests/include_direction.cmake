# Include-direction check, run by ctest as `cmake -P`: every #include "dir/..."
# in a source folder must name that folder or one of the folders it uses, as
# the folder libraries declare them in CMakeLists.txt; Qt and SDL headers may
# appear only in the folders that link them.
#
#   SOURCE_DIR   the tree to check
#   RULES        "folder:used,used|folder:...", one entry per folder library
#   QT_FOLDERS   folders allowed <Q...> headers, "a|b"
#   SDL_FOLDERS  folders allowed <SDL...> headers, "a|b"
# Prints one line per offending include and fails when there is any.
cmake_minimum_required(VERSION 3.25)
foreach(list RULES QT_FOLDERS SDL_FOLDERS)
  string(REPLACE "|" ";" ${list} "${${list}}")
endforeach()
set(refused 0)
foreach(rule IN LISTS RULES)
  string(REPLACE ":" ";" parts "${rule}")
  list(GET parts 0 folder)
  list(LENGTH parts n)
  set(uses "")
  if(n GREATER 1)
    list(GET parts 1 uses)
    string(REPLACE "," ";" uses "${uses}")
  endif()
  file(GLOB files ${SOURCE_DIR}/${folder}/*.cpp ${SOURCE_DIR}/${folder}/*.h)
  foreach(file IN LISTS files)
    file(RELATIVE_PATH name ${SOURCE_DIR} ${file})
    file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line IN LISTS lines)
      if(line MATCHES "#[ \t]*include[ \t]*\"([^/\"]+)/")
        set(used ${CMAKE_MATCH_1})
        if(NOT used STREQUAL folder AND NOT used IN_LIST uses)
          message("${name}: includes ${used}/, which ${folder}/ does not use (it uses: ${uses})")
          math(EXPR refused "${refused} + 1")
        endif()
      elseif(line MATCHES "#[ \t]*include[ \t]*<(Q[A-Za-z]|qt)" AND NOT folder IN_LIST QT_FOLDERS)
        message("${name}: includes Qt, which only ${QT_FOLDERS} may")
        math(EXPR refused "${refused} + 1")
      elseif(line MATCHES "#[ \t]*include[ \t]*<SDL" AND NOT folder IN_LIST SDL_FOLDERS)
        message("${name}: includes SDL, which only ${SDL_FOLDERS} may")
        math(EXPR refused "${refused} + 1")
      endif()
    endforeach()
  endforeach()
endforeach()
if(refused GREATER 0)
  message(FATAL_ERROR "${refused} include(s) against the declared direction")
endif()
message("includes follow the declared direction")
