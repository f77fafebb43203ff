# Runs TOOL with a bad argument: it must print nothing on standard output,
# the usage text on standard error, and end with exit code 2. A cross build
# passes its emulator (a list: the wine wrapper and its arguments) in EMULATOR.
execute_process(COMMAND ${EMULATOR} "${TOOL}" --seconds soon
  RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT code EQUAL 2)
  message(FATAL_ERROR "exit code ${code}, expected 2")
endif()
if(NOT out STREQUAL "")
  message(FATAL_ERROR "unexpected standard output: ${out}")
endif()
if(NOT err MATCHES "^ordalyn-simtrace: --seconds needs a whole number")
  message(FATAL_ERROR "no error message: ${err}")
endif()
if(NOT err MATCHES "\nUsage: ordalyn-simtrace \\[--line N\\] \\[--seconds S\\] \\[--scenario FILE\\] \\[--cp1252\\]\n")
  message(FATAL_ERROR "no usage text: ${err}")
endif()
