# Writes the DLL's import libraries from its module-definition file DEF into
# OUT_DIR: DUDUZUVEZ210.lib in the format of Microsoft's linker
# (LLVM_DLLTOOL), and on 32-bit x86 libduduzuvez210.dll.a for MinGW
# (GNU_DLLTOOL; elsewhere the linker's own is kept).
#
# On 32-bit x86 callers name a __stdcall function by its decorated name
# (_Name@n): the byte counts are read from the symbols of the library's
# objects (NM, OBJECTS_LIST), and both libraries map each decorated name to
# the plain name that the DLL exports (-k).
# Arguments: DEF MACHINE NM OBJECTS_LIST LLVM_DLLTOOL GNU_DLLTOOL OUT_DIR.
file(STRINGS ${DEF} _lines)
set(_def "")
set(_kill)
if(MACHINE STREQUAL "i386")
  set(_kill -k)
  file(STRINGS ${OBJECTS_LIST} _objects)
  execute_process(COMMAND ${NM} --defined-only -g ${_objects}
                  OUTPUT_VARIABLE _symbols RESULT_VARIABLE _rc)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "${NM} failed")
  endif()
endif()
foreach(_line IN LISTS _lines)
  if(_kill AND _line MATCHES "^  ([A-Za-z_][A-Za-z0-9_]*) @([0-9]+)$")
    set(_name ${CMAKE_MATCH_1})
    set(_ordinal ${CMAKE_MATCH_2})
    if(NOT _symbols MATCHES " T _${_name}(@[0-9]+)\n")
      message(FATAL_ERROR "no __stdcall symbol _${_name}@n in the library's objects")
    endif()
    string(APPEND _def "  ${_name}${CMAKE_MATCH_1} @${_ordinal}\n")
  else()
    string(APPEND _def "${_line}\n")
  endif()
endforeach()
set(_decorated ${OUT_DIR}/duduzuvez210.import.def)
file(WRITE ${_decorated} "${_def}")

execute_process(COMMAND ${LLVM_DLLTOOL} -m ${MACHINE} -d ${_decorated}
                        -l ${OUT_DIR}/DUDUZUVEZ210.lib -D DUDUZUVEZ210.dll ${_kill}
                RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "${LLVM_DLLTOOL} failed")
endif()
if(_kill)
  execute_process(COMMAND ${GNU_DLLTOOL} -d ${_decorated} -l ${OUT_DIR}/libduduzuvez210.dll.a
                          -D DUDUZUVEZ210.dll ${_kill}
                  RESULT_VARIABLE _rc)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "${GNU_DLLTOOL} failed")
  endif()
endif()
