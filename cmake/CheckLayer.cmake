# Fails when a file of a core layer includes a project header outside the layers it may use (its
# own and those below it). Run as:
#   cmake -DLAYER=web -DALLOWED=text|session|photo|web|wharfling -DFILES=a.cpp|a.h -DSTAMP=file -P CheckLayer.cmake
# Project headers are the quoted includes "<folder>/..."; system headers (<...>) are not looked at.
cmake_minimum_required(VERSION 3.25)
string(REPLACE "|" ";" ALLOWED "${ALLOWED}")
string(REPLACE "|" ";" FILES "${FILES}")
set(offences "")
foreach(file IN LISTS FILES)
  file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"/]+/")
  foreach(line IN LISTS includes)
    string(REGEX MATCH "\"([^\"/]+)/" _ "${line}")
    if(NOT CMAKE_MATCH_1 IN_LIST ALLOWED)
      string(APPEND offences "\n  ${file}: ${line}")
    endif()
  endforeach()
endforeach()
if(offences)
  message(FATAL_ERROR "layer ${LAYER} may include only ${ALLOWED}; found:${offences}")
endif()
file(TOUCH "${STAMP}")
