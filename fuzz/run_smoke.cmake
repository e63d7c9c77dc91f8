# Smoke run of one libFuzzer target, called by CTest:
#   cmake -DFUZZER=... -DCORPUS=... -DREGRESSIONS=... -DWORK=... -DSECONDS=5 -P run_smoke.cmake
# Copies the seed corpus into WORK, fuzzes for SECONDS, then replays every saved regression input.
# Any crash, leak, sanitizer report or broken invariant fails the test.

foreach(var FUZZER CORPUS WORK SECONDS)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "run_smoke.cmake: ${var} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/corpus" "${WORK}/artifacts")
file(GLOB seeds "${CORPUS}/*")
if(NOT seeds)
  message(FATAL_ERROR "no seed inputs in ${CORPUS}")
endif()
file(COPY ${seeds} DESTINATION "${WORK}/corpus")

execute_process(
  COMMAND "${FUZZER}" -max_total_time=${SECONDS} -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
          -artifact_prefix=${WORK}/artifacts/ "${WORK}/corpus"
  WORKING_DIRECTORY "${WORK}"
  RESULT_VARIABLE result
  OUTPUT_VARIABLE out
  ERROR_VARIABLE out)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${FUZZER} failed (${result}); inputs kept in ${WORK}/artifacts\n${out}")
endif()
string(REGEX MATCH "stat::number_of_executed_units: *[0-9]+" runs "${out}")
message(STATUS "${runs}")

if(DEFINED REGRESSIONS AND IS_DIRECTORY "${REGRESSIONS}")
  file(GLOB cases "${REGRESSIONS}/*")
  if(cases)
    execute_process(
      COMMAND "${FUZZER}" -timeout=10 -rss_limit_mb=2048 ${cases}
      WORKING_DIRECTORY "${WORK}"
      RESULT_VARIABLE result
      OUTPUT_VARIABLE out
      ERROR_VARIABLE out)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "${FUZZER} fails on a saved regression input (${result})\n${out}")
    endif()
  endif()
endif()
