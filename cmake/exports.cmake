# Reads the exported function names out of the public header. Every export is
# declared on one line that starts with DZV_API; nothing else is exported.
function(dzv_read_exports header out_var)
  file(STRINGS ${header} _lines REGEX "^DZV_API ")
  set(_names "")
  foreach(_line IN LISTS _lines)
    if(_line MATCHES "([A-Za-z_][A-Za-z0-9_]*)\\(")
      list(APPEND _names ${CMAKE_MATCH_1})
    endif()
  endforeach()
  set(${out_var} ${_names} PARENT_SCOPE)
endfunction()

# Writes a linker version script that keeps the header's names global and
# makes every other symbol local.
function(dzv_generate_export_map header map_file)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${header})
  dzv_read_exports(${header} _names)
  set(_text "{\n  global:\n")
  foreach(_n IN LISTS _names)
    string(APPEND _text "    ${_n};\n")
  endforeach()
  string(APPEND _text "  local: *;\n};\n")
  file(CONFIGURE OUTPUT ${map_file} CONTENT "${_text}")
endfunction()
