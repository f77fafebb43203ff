# Turns text files into a C++ source of byte arrays, at build time:
#   cmake -DOUTPUT=out.cpp -DNAMESPACE=ns -DFILES="a.js;b.css" -DSYMBOLS="kA;kB" -P OrdalynEmbed.cmake
# Each symbol becomes "extern const char kA[];" ending in a NUL, so the files
# need no escaping and may hold any byte.
foreach(var OUTPUT NAMESPACE FILES SYMBOLS)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "OrdalynEmbed.cmake needs -D${var}=...")
  endif()
endforeach()
list(LENGTH FILES file_count)
list(LENGTH SYMBOLS symbol_count)
if(NOT file_count EQUAL symbol_count)
  message(FATAL_ERROR "OrdalynEmbed.cmake: ${file_count} files but ${symbol_count} symbols")
endif()

set(text "// Made at build time from the page's own files; edit those, not this.\n")
string(APPEND text "namespace ${NAMESPACE} {\n")
math(EXPR last "${file_count} - 1")
foreach(i RANGE ${last})
  list(GET FILES ${i} file)
  list(GET SYMBOLS ${i} symbol)
  file(READ "${file}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
  # A line break now and then, so that compilers and editors stay at ease.
  string(REPEAT "'\\\\x[0-9a-f][0-9a-f]'," 24 row)
  string(REGEX REPLACE "(${row})" "\\1\n" bytes "${bytes}")
  string(APPEND text "extern const char ${symbol}[];\nconst char ${symbol}[] = {\n${bytes}'\\0'};\n")
endforeach()
string(APPEND text "}  // namespace ${NAMESPACE}\n")
# Rewritten only when it changed, so that an unchanged page compiles nothing.
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
  if(old STREQUAL text)
    return()
  endif()
endif()
file(WRITE "${OUTPUT}" "${text}")
