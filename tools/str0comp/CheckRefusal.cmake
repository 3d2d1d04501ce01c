# Runs str0comp on a malformed source: it must exit with status 1 (a refusal,
# not a crash) and leave no output file, not even a temporary one.
file(REMOVE ${OUTPUT} ${OUTPUT}.tmp)
execute_process(COMMAND ${STR0COMP} --max-length 78 ${SOURCE} ${OUTPUT} RESULT_VARIABLE result ERROR_VARIABLE message)
if(NOT result EQUAL 1)
  message(FATAL_ERROR "expected exit status 1, got '${result}': ${message}")
endif()
if(EXISTS ${OUTPUT} OR EXISTS ${OUTPUT}.tmp)
  message(FATAL_ERROR "a refused source left output behind")
endif()
if(NOT message MATCHES "^str0comp: .+:[0-9]+: ")
  message(FATAL_ERROR "the refusal does not name the line: ${message}")
endif()
