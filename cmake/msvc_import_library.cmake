# Writes DUDUZUVEZ210.lib, the import library in the format of Microsoft's
# linker, from the module-definition file DEF. On 32-bit x86 callers name a
# __stdcall function by its decorated name (_Name@n): the byte counts are
# read from the symbols of the library's objects (NM, OBJECTS_LIST), and the
# library maps each decorated name to the plain name of the export (-k).
# Arguments: DLL DEF NM OBJECTS_LIST MACHINE DLLTOOL OUT.
file(STRINGS ${DEF} _lines)
set(_def "")
if(MACHINE STREQUAL "i386")
  file(STRINGS ${OBJECTS_LIST} _objects)
  execute_process(COMMAND ${NM} --defined-only -g ${_objects}
                  OUTPUT_VARIABLE _symbols RESULT_VARIABLE _rc)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "${NM} failed")
  endif()
endif()
foreach(_line IN LISTS _lines)
  if(MACHINE STREQUAL "i386" AND _line MATCHES "^  ([A-Za-z_][A-Za-z0-9_]*) @([0-9]+)$")
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
get_filename_component(_dir ${OUT} DIRECTORY)
file(WRITE ${_dir}/duduzuvez210.msvc.def "${_def}")
set(_kill)
if(MACHINE STREQUAL "i386")
  set(_kill -k)
endif()
execute_process(COMMAND ${DLLTOOL} -m ${MACHINE} -d ${_dir}/duduzuvez210.msvc.def -l ${OUT}
                        -D DUDUZUVEZ210.dll ${_kill}
                RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "${DLLTOOL} failed")
endif()
