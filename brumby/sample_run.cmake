# Runs Brumby on a copy of the sample INF folder and compares its output with a golden file.
# EMULATOR (wine for a Windows build) runs the program when given; CRLF line ends compare
# equal to the golden file's LF.
file(REMOVE_RECURSE ${WORK})
file(COPY ${SAMPLES}/ DESTINATION ${WORK})
execute_process(COMMAND ${EMULATOR} ${PROGRAM} ${WORK} OUTPUT_VARIABLE actual RESULT_VARIABLE rc)
string(REPLACE "\r\n" "\n" actual "${actual}")
file(READ ${EXPECTED} expected)
file(GLOB left RELATIVE ${WORK} ${WORK}/*)
file(REMOVE_RECURSE ${WORK})
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "Brumby exited with ${rc}")
endif()
if(NOT actual STREQUAL expected)
  message(FATAL_ERROR "Brumby output differs.\n--- expected\n${expected}--- actual\n${actual}")
endif()
if(left)
  message(FATAL_ERROR "Brumby left OEM files behind: ${left}")
endif()
