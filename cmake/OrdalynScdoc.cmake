# Turns one scdoc source into a roff manual page; run by the build as
#   cmake -DSCDOC=scdoc -DINPUT=page.1.scd -DOUTPUT=page.1 -P OrdalynScdoc.cmake
# A page that scdoc rejects leaves no output behind, so the next build tries again.
execute_process(
  COMMAND ${SCDOC}
  INPUT_FILE ${INPUT}
  OUTPUT_FILE ${OUTPUT}
  ERROR_VARIABLE _errors
  RESULT_VARIABLE _result)
if(NOT _result EQUAL 0)
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "${INPUT}: ${_errors}")
endif()
