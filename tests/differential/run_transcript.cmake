# Runs the differential transcript program and checks its transcript.
#   cmake -DPROGRAM=... -DWORK_DIR=... -DCHECK=twice|compare
#         [-DRUNNER=<list>] [-DFIRST_RUNNER=<list>] [-DKEEP=<file>] [-DREFERENCE=<file>]
#         -P run_transcript.cmake
# Each run gets an empty directory of its own under WORK_DIR for its files
# and is named relative to it, so transcripts hold no path. RUNNER prefixes
# every run (an emulator), FIRST_RUNNER the first one only (memcheck).
#   twice:   runs the program twice and requires the same transcript; the
#            first is then kept as KEEP (the reference of other builds).
#   compare: runs it once and requires REFERENCE's bytes; without a readable
#            REFERENCE the comparison is skipped ("SKIPPED:").
set(ENV{LC_ALL} C)
set(ENV{XDG_CONFIG_HOME} ${WORK_DIR}/config)

function(run_once name runner)
  file(MAKE_DIRECTORY ${WORK_DIR}/${name})
  execute_process(COMMAND ${runner} ${PROGRAM} ${name}
                  WORKING_DIRECTORY ${WORK_DIR}
                  OUTPUT_FILE ${WORK_DIR}/${name}.txt ERROR_VARIABLE err RESULT_VARIABLE result)
  if(result EQUAL 77 AND err MATCHES "SKIPPED:")
    message(FATAL_ERROR "${err}")
  elseif(NOT result EQUAL 0)
    message(FATAL_ERROR "the transcript program failed (${result}) on run ${name}:\n${err}")
  endif()
endfunction()

function(require_same expected actual what)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${expected} ${actual}
                  RESULT_VARIABLE different)
  if(different)
    find_program(DIFF diff)
    if(DIFF)
      execute_process(COMMAND ${DIFF} ${expected} ${actual} OUTPUT_VARIABLE shown)
    endif()
    message(FATAL_ERROR "${what}:\n${shown}")
  endif()
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
if(CHECK STREQUAL "twice")
  if(KEEP)
    file(REMOVE ${KEEP})
  endif()
  run_once(first "${RUNNER};${FIRST_RUNNER}")
  run_once(second "${RUNNER}")
  require_same(${WORK_DIR}/first.txt ${WORK_DIR}/second.txt
               "two runs of the same script gave different transcripts")
  if(KEEP)
    file(COPY_FILE ${WORK_DIR}/first.txt ${KEEP})
  endif()
elseif(CHECK STREQUAL "compare")
  run_once(here "${RUNNER}")
  if(NOT REFERENCE OR NOT EXISTS ${REFERENCE})
    message("SKIPPED: no transcript of the Linux build to compare with "
            "(configure with -DDZV_LINUX_TRANSCRIPT=<release build>/tests/differential/linux.txt "
            "after the Linux test differential.transcript_is_deterministic has run)")
    return()
  endif()
  require_same(${REFERENCE} ${WORK_DIR}/here.txt
               "this build's transcript (>) differs from the Linux build's (<)")
else()
  message(FATAL_ERROR "CHECK must be twice or compare")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
