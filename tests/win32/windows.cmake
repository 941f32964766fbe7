# The Windows DLL's interface, as a client program meets it: the export
# table (names, ordinals, nothing more) and the DLLs it imports, read with
# objdump; and every export found both by name and by ordinal under Wine.
add_test(NAME win32.export_table_and_imports
  COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DDLL=$<TARGET_FILE:duduzuvez210>
          -DEXPORT_LIST=${DZV_EXPORT_LIST}
          -P ${CMAKE_CURRENT_SOURCE_DIR}/win32/check_exports.cmake)

add_executable(dzv_win32_ordinals ${CMAKE_CURRENT_SOURCE_DIR}/win32/ordinals.c)
add_dependencies(dzv_win32_ordinals duduzuvez210)
add_test(NAME win32.exports_by_name_and_ordinal
  COMMAND dzv_win32_ordinals $<TARGET_FILE:duduzuvez210> ${DZV_EXPORT_LIST})
