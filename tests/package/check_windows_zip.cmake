# Makes the Windows ZIP package with cpack in the build directory and checks
# that it holds the DLL, both import libraries, the header, the README, and
# dzv.exe with its manual dzv.txt beside the DLL; that dzv.exe is the only
# program and imports only the DLL and DLLs of Windows.
#   cmake -DBUILD_DIR=... -DARCHIVE=<file name> -DOBJDUMP=... -P check_windows_zip.cmake
execute_process(COMMAND cpack -G ZIP WORKING_DIRECTORY ${BUILD_DIR}
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 0 OR NOT EXISTS ${BUILD_DIR}/${ARCHIVE})
  message(FATAL_ERROR "cpack -G ZIP made no ${ARCHIVE} (${result}):\n${out}\n${err}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${BUILD_DIR}/${ARCHIVE}
                RESULT_VARIABLE result OUTPUT_VARIABLE listing)
string(REGEX REPLACE "\\.zip$" "" top ${ARCHIVE})
foreach(file README.txt bin/DUDUZUVEZ210.dll lib/libduduzuvez210.dll.a lib/DUDUZUVEZ210.lib
             include/duduzuvez210.h bin/dzv.exe bin/dzv.txt)
  string(REPLACE "." "\\." pattern "${top}/${file}\n")
  if(NOT listing MATCHES "${pattern}")
    message(FATAL_ERROR "${ARCHIVE} lacks ${file}:\n${listing}")
  endif()
endforeach()
string(REGEX MATCHALL "[^\n]+\\.exe\n" programs "${listing}")
if(NOT programs STREQUAL "${top}/bin/dzv.exe\n")
  message(FATAL_ERROR "${ARCHIVE} holds programs other than bin/dzv.exe:\n${listing}")
endif()

# What the ZIP's dzv.exe imports, and its manual.
set(unpacked ${BUILD_DIR}/zip-check)
file(REMOVE_RECURSE ${unpacked})
file(MAKE_DIRECTORY ${unpacked})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${BUILD_DIR}/${ARCHIVE}
                WORKING_DIRECTORY ${unpacked} RESULT_VARIABLE result)
execute_process(COMMAND ${OBJDUMP} -p ${unpacked}/${top}/bin/dzv.exe OUTPUT_VARIABLE dump
                RESULT_VARIABLE result)
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
if(NOT result EQUAL 0 OR NOT imports)
  message(FATAL_ERROR "cannot read the imports of dzv.exe (${result})")
endif()
foreach(import IN LISTS imports)
  string(REGEX REPLACE "^DLL Name: ([^ \n]+).*" "\\1" dll "${import}")
  string(TOUPPER "${dll}" base)
  string(REGEX REPLACE "\\.DLL$" "" base "${base}")
  if(NOT base MATCHES "^(DUDUZUVEZ210|KERNEL32|USER32|ADVAPI32|MSVCRT|API-MS-WIN-CRT-.*)$")
    message(FATAL_ERROR "dzv.exe imports ${dll}, neither the library nor a DLL of Windows")
  endif()
  message(STATUS "dzv.exe imports ${dll}")
endforeach()
file(READ ${unpacked}/${top}/bin/dzv.txt manual)
foreach(heading "Usage: dzv FAMILY COMMAND" "Usage: dzv dict COMMAND" "Usage: dzv dict set"
                "Usage: dzv registry COMMAND" "Usage: dzv credentials status")
  string(FIND "${manual}" "${heading}" at)
  if(at LESS 0)
    message(FATAL_ERROR "dzv.txt lacks '${heading}'")
  endif()
endforeach()
file(REMOVE_RECURSE ${unpacked})
message(STATUS "${listing}")
