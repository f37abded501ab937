# Runs lattix-check on a script and compares its standard output with a golden file.
execute_process(COMMAND ${PROGRAM} ${SCRIPT} OUTPUT_VARIABLE actual RESULT_VARIABLE rc)
file(READ ${EXPECTED} expected)
if(NOT rc EQUAL ${EXIT_CODE})
  message(FATAL_ERROR "lattix-check exited with ${rc}, expected ${EXIT_CODE}")
endif()
if(NOT actual STREQUAL expected)
  message(FATAL_ERROR "lattix-check output differs.\n--- expected\n${expected}--- actual\n${actual}")
endif()
