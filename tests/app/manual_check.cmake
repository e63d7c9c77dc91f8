# Checks the user manual as the program finds it:
#
#   cmake -DMANUAL=<folder of tarnwick>/tarnwick.html -DSOURCE=<docs/tarnwick.html> -P manual_check.cmake
#
# The manual lies next to the program and is the one of the source tree; every link inside it
# ("#anchor") leads to an element with that id, no id is given twice, every section heading is
# reached from some link (the table of contents), and no link points at a local file that would
# not travel with it.

cmake_minimum_required(VERSION 3.25)

if(NOT EXISTS "${MANUAL}")
  message(FATAL_ERROR "The manual is not next to the program: ${MANUAL}")
endif()
file(READ "${MANUAL}" manual)
file(READ "${SOURCE}" source)
if(NOT manual STREQUAL source)
  message(FATAL_ERROR "${MANUAL} differs from ${SOURCE}: the build did not copy the current manual")
endif()

set(problems "")

# The ids, each once.
string(REGEX MATCHALL "[ \t\n]id=\"[^\"]*\"" id_attributes "${manual}")
set(ids "")
foreach(attribute IN LISTS id_attributes)
  string(REGEX REPLACE "^[ \t\n]id=\"([^\"]*)\"$" "\\1" id "${attribute}")
  if(id IN_LIST ids)
    string(APPEND problems "  the id \"${id}\" is given twice\n")
  endif()
  list(APPEND ids "${id}")
endforeach()
list(LENGTH ids id_count)
if(id_count LESS 10)
  string(APPEND problems "  only ${id_count} ids: the manual looks empty\n")
endif()

# Every link target exists; links to other files are only web addresses.
string(REGEX MATCHALL "href=\"[^\"]*\"" links "${manual}")
set(targets "")
foreach(link IN LISTS links)
  string(REGEX REPLACE "^href=\"(.*)\"$" "\\1" target "${link}")
  if(target MATCHES "^#(.*)$")
    set(anchor "${CMAKE_MATCH_1}")
    list(APPEND targets "${anchor}")
    if(NOT anchor IN_LIST ids)
      string(APPEND problems "  the link \"#${anchor}\" leads nowhere\n")
    endif()
  elseif(NOT target MATCHES "^(https?|mailto):")
    string(APPEND problems "  the link \"${target}\" points at a file that is not installed with the manual\n")
  endif()
endforeach()

# Every section heading can be reached from a link.
string(REGEX MATCHALL "<h[23] id=\"[^\"]*\"" headings "${manual}")
list(LENGTH headings heading_count)
if(heading_count LESS 5)
  string(APPEND problems "  only ${heading_count} section headings\n")
endif()
foreach(heading IN LISTS headings)
  string(REGEX REPLACE "^<h[23] id=\"([^\"]*)\"$" "\\1" id "${heading}")
  if(NOT id STREQUAL "toc" AND NOT id IN_LIST targets)
    string(APPEND problems "  the section \"${id}\" is missing from the table of contents\n")
  endif()
endforeach()

if(problems)
  message(FATAL_ERROR "The manual ${MANUAL} has faults:\n${problems}")
endif()
message(STATUS "Manual: ${id_count} ids, every link and section in order")
