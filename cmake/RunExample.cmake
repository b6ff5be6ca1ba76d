# Runs the program on a bundled example in a scratch folder, typing the
# answers from the example's answers.txt at its console.
file(MAKE_DIRECTORY "${WORK_DIR}")
file(COPY "${EXAMPLE_DIR}/prob.txt" DESTINATION "${WORK_DIR}")
execute_process(
  COMMAND "${PROGRAM}"
  WORKING_DIRECTORY "${WORK_DIR}"
  INPUT_FILE "${EXAMPLE_DIR}/answers.txt"
  RESULT_VARIABLE status)
message("")
message("The per-pass report is in ${WORK_DIR}/result.txt")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "unionbound exited with status ${status}")
endif()
