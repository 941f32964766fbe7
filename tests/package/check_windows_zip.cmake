# Makes the Windows ZIP package with cpack in the build directory and checks
# that it holds the DLL, both import libraries, the header and the README,
# and no program.
#   cmake -DBUILD_DIR=... -DARCHIVE=<file name> -P check_windows_zip.cmake
execute_process(COMMAND cpack -G ZIP WORKING_DIRECTORY ${BUILD_DIR}
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 0 OR NOT EXISTS ${BUILD_DIR}/${ARCHIVE})
  message(FATAL_ERROR "cpack -G ZIP made no ${ARCHIVE} (${result}):\n${out}\n${err}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${BUILD_DIR}/${ARCHIVE}
                RESULT_VARIABLE result OUTPUT_VARIABLE listing)
string(REGEX REPLACE "\\.zip$" "" top ${ARCHIVE})
foreach(file README.txt bin/DUDUZUVEZ210.dll lib/libduduzuvez210.dll.a lib/DUDUZUVEZ210.lib
             include/duduzuvez210.h)
  string(REPLACE "." "\\." pattern "${top}/${file}\n")
  if(NOT listing MATCHES "${pattern}")
    message(FATAL_ERROR "${ARCHIVE} lacks ${file}:\n${listing}")
  endif()
endforeach()
if(listing MATCHES "\\.exe\n")
  message(FATAL_ERROR "${ARCHIVE} holds a program:\n${listing}")
endif()
message(STATUS "${listing}")
