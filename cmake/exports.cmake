# The export list, cmake/exports.txt, is the one place that names the library's
# exports and their ordinals. The functions below read it and write the files
# that each linker needs from it.

set(DZV_EXPORT_LIST ${CMAKE_CURRENT_LIST_DIR}/exports.txt)

# Reads the export list: names_var receives the names and ordinals_var their
# ordinals, in the order of the file. A line that is neither blank, a comment
# nor "Name @ordinal" stops the configure step.
function(dzv_read_exports list_file names_var ordinals_var)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${list_file})
  file(STRINGS ${list_file} _lines)
  set(_names "")
  set(_ordinals "")
  foreach(_line IN LISTS _lines)
    if(_line MATCHES "^[ \t]*(#.*)?$")
      continue()
    endif()
    if(NOT _line MATCHES "^([A-Za-z_][A-Za-z0-9_]*) @([0-9]+)$")
      message(FATAL_ERROR "${list_file}: not \"Name @ordinal\": '${_line}'")
    endif()
    list(APPEND _names ${CMAKE_MATCH_1})
    list(APPEND _ordinals ${CMAKE_MATCH_2})
  endforeach()
  set(${names_var} ${_names} PARENT_SCOPE)
  set(${ordinals_var} ${_ordinals} PARENT_SCOPE)
endfunction()

# Writes a linker version script (ELF) that keeps the listed names global and
# makes every other symbol local.
function(dzv_generate_export_map list_file map_file)
  dzv_read_exports(${list_file} _names _ordinals)
  set(_text "{\n  global:\n")
  foreach(_n IN LISTS _names)
    string(APPEND _text "    ${_n};\n")
  endforeach()
  string(APPEND _text "  local: *;\n};\n")
  file(CONFIGURE OUTPUT ${map_file} CONTENT "${_text}")
endfunction()

# Writes a module-definition file (Windows .def) that names the DLL and
# exports every listed function under its name and ordinal.
function(dzv_generate_module_definition list_file library_name def_file)
  dzv_read_exports(${list_file} _names _ordinals)
  set(_text "LIBRARY ${library_name}\nEXPORTS\n")
  foreach(_n _o IN ZIP_LISTS _names _ordinals)
    string(APPEND _text "  ${_n} @${_o}\n")
  endforeach()
  file(CONFIGURE OUTPUT ${def_file} CONTENT "${_text}")
endfunction()
