# Runs CANARY with FAULT and fails unless the process failed and printed
# PATTERN: a sanitizer report that lets the run succeed would let CI pass.
execute_process(COMMAND ${CANARY} ${FAULT}
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(status EQUAL 0)
  message(FATAL_ERROR "${FAULT}: the run succeeded despite the fault\n${out}${err}")
endif()
if(NOT err MATCHES "${PATTERN}")
  message(FATAL_ERROR "${FAULT}: no \"${PATTERN}\" report (exit ${status})\n${out}${err}")
endif()
message(STATUS "${FAULT}: reported and failed (exit ${status})")
