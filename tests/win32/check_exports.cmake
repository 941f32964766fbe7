cmake_minimum_required(VERSION 3.25)
# Checks the export table of the DLL against the export list: every name
# under its ordinal, nothing more, no decoration; and that it imports only
# DLLs of Windows itself.
# Arguments: OBJDUMP, DLL, EXPORT_LIST.
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/exports.cmake)
dzv_read_exports(${EXPORT_LIST} _names _ordinals)

execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE _dump RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed")
endif()

# The export table. objdump prints the ordinal base, then the address table
# ("[i] +base[ordinal] rva ...", one row per ordinal) and the name table
# ("[i] Name", i being the ordinal less the base).
if(NOT _dump MATCHES "Ordinal Base ([0-9]+)")
  message(FATAL_ERROR "${DLL} has no export table")
endif()
set(_base ${CMAKE_MATCH_1})
string(FIND "${_dump}" "[Ordinal/Name Pointer] Table" _start)
string(SUBSTRING "${_dump}" ${_start} -1 _table)
string(REGEX MATCH "^[^\n]*\n(\t\\[ *[0-9]+\\] [^\n]*\n)*" _table "${_table}")
string(REGEX MATCHALL "\\[ *[0-9]+\\] [^\n]+" _rows "${_table}")
set(_found "")
foreach(_row IN LISTS _rows)
  if(NOT _row MATCHES "^\\[ *([0-9]+)\\] ([^ ]+)$")
    message(FATAL_ERROR "unreadable export row: ${_row}")
  endif()
  math(EXPR _ordinal "${CMAKE_MATCH_1} + ${_base}")
  list(APPEND _found "${CMAKE_MATCH_2} @${_ordinal}")
endforeach()
# Every ordinal with an address has a name (no export by ordinal alone).
string(REGEX MATCHALL "\\+base\\[ *[0-9]+\\] +[0-9a-fA-F]+ +Export RVA" _addresses "${_dump}")
list(LENGTH _addresses _address_count)
list(LENGTH _found _name_count)
if(NOT _address_count EQUAL _name_count)
  message(FATAL_ERROR "${_address_count} exported addresses but ${_name_count} names")
endif()
set(_expected "")
foreach(_n _o IN ZIP_LISTS _names _ordinals)
  list(APPEND _expected "${_n} @${_o}")
endforeach()
list(SORT _found)
list(SORT _expected)
if(NOT _found STREQUAL _expected)
  set(_missing ${_expected})
  list(REMOVE_ITEM _missing ${_found})
  set(_extra ${_found})
  list(REMOVE_ITEM _extra ${_expected})
  message(FATAL_ERROR "export table differs from ${EXPORT_LIST}\n"
                      "missing: ${_missing}\nnot in the list: ${_extra}")
endif()
list(LENGTH _found _count)
message(STATUS "${_count} exports, each under its name and ordinal")

# The imports: only DLLs of Windows itself.
string(REGEX MATCHALL "DLL Name: [^\n]+" _imports "${_dump}")
set(_allowed KERNEL32 USER32 ADVAPI32 COMDLG32 SHELL32 OLE32 MSVCRT)
foreach(_import IN LISTS _imports)
  string(REGEX REPLACE "^DLL Name: ([^ \n]+).*" "\\1" _dll "${_import}")
  string(TOUPPER "${_dll}" _upper)
  string(REGEX REPLACE "\\.DLL$" "" _base "${_upper}")
  if(NOT _base IN_LIST _allowed AND NOT _base MATCHES "^API-MS-WIN-CRT-")
    message(FATAL_ERROR "${DLL} imports ${_dll}, which is not a DLL of Windows")
  endif()
  message(STATUS "imports ${_dll}")
endforeach()
