# cmake -DSOURCE_DIR=... -DWORK_DIR=... [-DC_COMPILER=... -DCXX_COMPILER=...
#       -DLAUNCHER=...] -P check_bare_build.cmake
#
# Runs the README's first command as a machine without GoogleTest and Google
# Benchmark would: configures with the release preset into WORK_DIR with both
# packages hidden, builds dzv (and so the library), and takes the tour. Fails
# when the configure needs either package, when it sets up tests anyway, or
# when the build or the tour fails.
foreach(_var SOURCE_DIR WORK_DIR)
  if(NOT ${_var})
    message(FATAL_ERROR "check_bare_build: ${_var} is not set")
  endif()
endforeach()

set(_args --preset release -B ${WORK_DIR}
  -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON)
if(C_COMPILER AND CXX_COMPILER)
  list(APPEND _args -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_CXX_COMPILER=${CXX_COMPILER})
endif()
if(LAUNCHER)
  list(APPEND _args -DCMAKE_C_COMPILER_LAUNCHER=${LAUNCHER}
    -DCMAKE_CXX_COMPILER_LAUNCHER=${LAUNCHER})
endif()

file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} ${_args}
  WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE _rc OUTPUT_VARIABLE _out ERROR_VARIABLE _out)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "configure without GoogleTest failed:\n${_out}")
endif()
if(EXISTS ${WORK_DIR}/tests)
  message(FATAL_ERROR "the tests were set up without GoogleTest:\n${_out}")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR} --target dzv -j2
  RESULT_VARIABLE _rc OUTPUT_VARIABLE _out ERROR_VARIABLE _out)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "building the library and dzv failed:\n${_out}")
endif()

execute_process(COMMAND ${SOURCE_DIR}/examples/tour.sh ${WORK_DIR}
  RESULT_VARIABLE _rc OUTPUT_VARIABLE _out ERROR_VARIABLE _out)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "the tour failed:\n${_out}")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
message(STATUS "the library and dzv built and the tour ran without GoogleTest and Google Benchmark")
