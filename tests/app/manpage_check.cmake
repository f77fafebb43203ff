# The manual page names only what the program has: every signal it names is
# one the program sets up, every variable one the program or its Qt reads,
# every exit status a status constant of the program, and every such
# constant is documented.
#   cmake -DPAGE=docs/man/ordalyn.1.scd -DSOURCE_DIR=src -P manpage_check.cmake
cmake_minimum_required(VERSION 3.16)
file(READ "${PAGE}" page)
file(GLOB_RECURSE sources "${SOURCE_DIR}/*.cpp" "${SOURCE_DIR}/*.h")
set(code "")
foreach(source IN LISTS sources)
  file(READ "${source}" text)
  string(APPEND code "${text}")
endforeach()
set(failures "")

# Signals: *SIGTERM* and the like anywhere in the page.
string(REGEX MATCHALL "\\*SIG[A-Z0-9]+\\*" signals "${page}")
list(REMOVE_DUPLICATES signals)
foreach(signal IN LISTS signals)
  string(REPLACE "*" "" signal "${signal}")
  string(FIND "${page}" "# ${signal}\n" heading)  # a reference to the section
  if(heading LESS 0 AND NOT signal STREQUAL "SIGKILL" AND NOT code MATCHES "${signal}[,)]")
    list(APPEND failures "the page names ${signal}, which the program does not set up")
  endif()
endforeach()

# The sections, each up to the next heading.
function(section name out)
  string(FIND "${page}" "# ${name}\n" start)
  if(start LESS 0)
    set(${out} "" PARENT_SCOPE)
    return()
  endif()
  string(SUBSTRING "${page}" ${start} -1 rest)
  string(SUBSTRING "${rest}" 2 -1 rest)
  string(FIND "${rest}" "\n# " end)
  string(SUBSTRING "${rest}" 0 ${end} body)
  set(${out} "${body}" PARENT_SCOPE)
endfunction()

# Variables: the entries of ENVIRONMENT ("*NAME*" or "*A*, *B*" at a line's start).
section("ENVIRONMENT" environment)
string(REGEX MATCHALL "\n\\*[A-Z_]+\\*(, \\*[A-Z_]+\\*)*\n" entries "${environment}")
foreach(entry IN LISTS entries)
  string(REGEX MATCHALL "[A-Z_]+" names "${entry}")
  foreach(name IN LISTS names)
    if(NOT code MATCHES "${name}")
      list(APPEND failures "the page names the variable ${name}, which the program never mentions")
    endif()
  endforeach()
endforeach()

# Exit statuses: the entries of EXIT STATUS against the constants k...Status = N.
section("EXIT STATUS" statuses)
string(REGEX MATCHALL "\n\\*[0-9]+\\*\n" documented "${statuses}")
string(REGEX REPLACE "[^0-9;]" "" documented "${documented}")
string(REGEX MATCHALL "k[A-Za-z]+Status = [0-9]+" constants "${code}")
set(known "0")
foreach(constant IN LISTS constants)
  string(REGEX REPLACE ".* = " "" value "${constant}")
  list(APPEND known ${value})
  if(NOT value IN_LIST documented)
    list(APPEND failures "${constant} is not under EXIT STATUS")
  endif()
endforeach()
foreach(value IN LISTS documented)
  if(NOT value IN_LIST known)
    list(APPEND failures "EXIT STATUS lists ${value}, which no status constant has")
  endif()
endforeach()

if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "${PAGE} does not match the program:\n  ${text}")
endif()
message(STATUS "${PAGE}: exit statuses ${documented}")
