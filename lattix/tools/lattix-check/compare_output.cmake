# Runs lattix-check on a script and compares its standard output with a golden file.
# EMULATOR (wine for a Windows build) runs the program when given; a Windows program's
# CRLF line ends compare equal to the golden file's LF.
execute_process(COMMAND ${EMULATOR} ${PROGRAM} ${SCRIPT} OUTPUT_VARIABLE actual RESULT_VARIABLE rc)
string(REPLACE "\r\n" "\n" actual "${actual}")
file(READ ${EXPECTED} expected)
if(NOT rc EQUAL ${EXIT_CODE})
  message(FATAL_ERROR "lattix-check exited with ${rc}, expected ${EXIT_CODE}")
endif()
if(NOT actual STREQUAL expected)
  message(FATAL_ERROR "lattix-check output differs.\n--- expected\n${expected}--- actual\n${actual}")
endif()
