# Reproducible builds: two builds of one commit in two different folders give
# the same programs and packages.

# ORDALYN_RELEASE_EPOCH: midnight UTC of the release date, in seconds since
# 1970 (days by the proleptic Gregorian calendar). The manual pages carry this
# date, and every file time that the build itself writes into a program (the
# pictures that rcc compiles in) is this moment.
string(REGEX MATCH "^([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$" _ "${ORDALYN_RELEASE_DATE}")
if(NOT CMAKE_MATCH_0)
  message(FATAL_ERROR "ORDALYN_RELEASE_DATE must be yyyy-mm-dd, not '${ORDALYN_RELEASE_DATE}'")
endif()
set(_ordalyn_weekdays Sun Mon Tue Wed Thu Fri Sat)
set(_ordalyn_months - Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
math(EXPR _y "${CMAKE_MATCH_1}")
math(EXPR _m "${CMAKE_MATCH_2}")
math(EXPR _d "${CMAKE_MATCH_3}")
if(_m LESS_EQUAL 2)
  math(EXPR _y "${_y} - 1")
endif()
math(EXPR _era "${_y} / 400")
math(EXPR _yoe "${_y} - ${_era} * 400")
math(EXPR _doy "(153 * ((${_m} + 9) % 12) + 2) / 5 + ${_d} - 1")
math(EXPR _doe "${_yoe} * 365 + ${_yoe} / 4 - ${_yoe} / 100 + ${_doy}")
math(EXPR _days "${_era} * 146097 + ${_doe} - 719468")
math(EXPR ORDALYN_RELEASE_EPOCH "${_days} * 86400")
# The same moment as RFC 5322 writes it (Debian's changelog): 1970-01-01 was a Thursday.
math(EXPR _weekday "(${_days} + 4) % 7")
list(GET _ordalyn_weekdays ${_weekday} _weekday)
list(GET _ordalyn_months ${_m} _month)
set(ORDALYN_RELEASE_DATE_RFC5322 "${_weekday}, ${CMAKE_MATCH_3} ${_month} ${CMAKE_MATCH_1} 00:00:00 +0000")

# ORDALYN_SOURCE_DATE_EPOCH: the time of the packages' members.
# SOURCE_DATE_EPOCH from the environment when the builder sets it (Debian's
# tools do), else the time of the commit the source comes from, else (a
# source tarball without .git) the release's.
set(ORDALYN_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
if(ORDALYN_SOURCE_DATE_EPOCH STREQUAL "")
  find_package(Git QUIET)
  if(GIT_FOUND AND EXISTS ${PROJECT_SOURCE_DIR}/.git)
    execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE ORDALYN_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
endif()
if(ORDALYN_SOURCE_DATE_EPOCH STREQUAL "")
  set(ORDALYN_SOURCE_DATE_EPOCH ${ORDALYN_RELEASE_EPOCH})
endif()
if(NOT ORDALYN_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH must be seconds since 1970, not '${ORDALYN_SOURCE_DATE_EPOCH}'")
endif()

# Every command the build runs (rcc, the picture generator, scdoc) sees the
# release's moment as SOURCE_DATE_EPOCH, and writes no time of its own:
# rcc stamps each compiled-in file with it instead of the file's time.
set_property(GLOBAL PROPERTY RULE_LAUNCH_CUSTOM
             "${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${ORDALYN_RELEASE_EPOCH}")

# No build folder or source folder in what the compiler writes (file names in
# the debugging information, __FILE__): the folders differ between builds, and
# with them the build ids. The last map that fits wins: the build folder
# comes after the source folder (it may lie inside it), and the target's own
# build folder last, which is where Unix Makefiles (not Ninja) run the
# compiler: the compiler's folder reads "build" with every generator.
if(NOT MSVC)
  add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${PROJECT_BINARY_DIR}=build
                      -ffile-prefix-map=$<TARGET_PROPERTY:BINARY_DIR>=build)
endif()
# A Windows executable's header carries the link time unless told otherwise.
if(WIN32 AND NOT MSVC)
  add_link_options(LINKER:--no-insert-timestamp)
endif()
