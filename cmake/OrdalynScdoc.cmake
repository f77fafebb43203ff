# Turns one scdoc source into a roff manual page and its compressed copy (the
# one that is installed); run by the build as
#   cmake -DSCDOC=scdoc -DGZIP=gzip -DEPOCH=seconds -DINPUT=page.1.scd -DOUTPUT=page.1 -P OrdalynScdoc.cmake
# The page's date is EPOCH (the release date); the copy, OUTPUT.gz, carries
# neither a name nor a time (gzip -9n), so that builds give the same bytes.
# A page that scdoc rejects leaves no output behind, so the next build tries again.
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${EPOCH} ${SCDOC}
  INPUT_FILE ${INPUT}
  OUTPUT_FILE ${OUTPUT}
  ERROR_VARIABLE _errors
  RESULT_VARIABLE _result)
if(NOT _result EQUAL 0)
  file(REMOVE ${OUTPUT} ${OUTPUT}.gz)
  message(FATAL_ERROR "${INPUT}: ${_errors}")
endif()
execute_process(
  COMMAND ${GZIP} -9n -c ${OUTPUT}
  OUTPUT_FILE ${OUTPUT}.gz
  ERROR_VARIABLE _errors
  RESULT_VARIABLE _result)
if(NOT _result EQUAL 0)
  file(REMOVE ${OUTPUT} ${OUTPUT}.gz)
  message(FATAL_ERROR "${OUTPUT}.gz: ${_errors}")
endif()
