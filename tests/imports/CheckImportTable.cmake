# Fails unless every function that a shipped binary imports is on the list of imports checked
# against Windows 2000: a new import fails here until someone checks its documented minimum
# system and adds it to the list. With REFUSED instead of ALLOWED, fails when the binary imports
# any of the functions named there.
# Arguments: -DOBJDUMP=... -DMODULE=path/to/binary, and -DALLOWED=path/to/list or
# -DREFUSED=function,function,...
cmake_minimum_required(VERSION 3.20)
execute_process(COMMAND ${OBJDUMP} -p ${MODULE} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${MODULE}")
endif()

# Each "DLL Name: X" line is followed by one "<address> <hint> <name>" line per function.
string(REPLACE "\n" ";" dump_lines "${dump}")
set(imported)
set(dll "")
foreach(line IN LISTS dump_lines)
  if(line MATCHES "DLL Name: ([^ \t]+)")
    string(TOUPPER "${CMAKE_MATCH_1}" dll)
  elseif(dll AND line MATCHES "^\t[0-9a-fA-F]+\t +[0-9]+ +([^ \t]+)")
    list(APPEND imported "${dll}!${CMAKE_MATCH_1}")
  elseif(dll AND line MATCHES "^\t[0-9a-fA-F]+\t +<none> +([0-9]+)")
    list(APPEND imported "${dll}!#${CMAKE_MATCH_1}")
  elseif(line STREQUAL "")
    set(dll "")
  endif()
endforeach()

list(LENGTH imported count)
if(count EQUAL 0)
  message(FATAL_ERROR "no imports read from ${MODULE}")
endif()

# Fails with the entries that break the rule, if any.
function(refuse entries heading)
  if(entries)
    list(JOIN entries "\n  " shown)
    message(FATAL_ERROR "${heading}:\n  ${shown}")
  endif()
endfunction()

if(REFUSED)
  string(REPLACE "," ";" refused "${REFUSED}")
  set(found)
  foreach(entry IN LISTS imported)
    string(REGEX REPLACE "^.*!" "" function "${entry}")
    if(function IN_LIST refused)
      list(APPEND found ${entry})
    endif()
  endforeach()
  refuse("${found}" "${MODULE} imports what it must not")
  message(STATUS "${MODULE} imports none of ${REFUSED}")
  return()
endif()

# The list: "DLL function  documented minimum system" per line; # starts a comment.
file(STRINGS ${ALLOWED} lines)
set(allowed)
foreach(line IN LISTS lines)
  if(line MATCHES "^([A-Za-z0-9_.]+)[ \t]+([A-Za-z0-9_#]+)")
    string(TOUPPER "${CMAKE_MATCH_1}" listed_dll)
    list(APPEND allowed "${listed_dll}!${CMAKE_MATCH_2}")
  endif()
endforeach()

set(unchecked ${imported})
list(REMOVE_ITEM unchecked ${allowed})
refuse("${unchecked}" "imports not checked against Windows 2000 (${ALLOWED})")
message(STATUS "${count} imports, each checked against Windows 2000")
