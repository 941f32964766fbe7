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
target_include_directories(dzv_win32_ordinals PRIVATE ${PROJECT_SOURCE_DIR}/include)

# The C client linked through DUDUZUVEZ210.lib, the import library in the
# format of Microsoft's linker, by LLVM's linker (which reads it as
# link.exe does).
find_program(DZV_LD_LLD ld.lld)
if(DZV_LD_LLD)
  add_executable(dzv_abi_test_lib ${CMAKE_CURRENT_SOURCE_DIR}/abi_test.c)
  target_include_directories(dzv_abi_test_lib PRIVATE ${PROJECT_SOURCE_DIR}/include)
  add_dependencies(dzv_abi_test_lib duduzuvez210)
  target_link_libraries(dzv_abi_test_lib PRIVATE
    $<TARGET_LINKER_FILE_DIR:duduzuvez210>/DUDUZUVEZ210.lib)
  target_link_options(dzv_abi_test_lib PRIVATE -fuse-ld=lld)
  add_test(NAME win32.c_client_linked_through_the_lib COMMAND dzv_abi_test_lib
           WORKING_DIRECTORY ${_dzv_abi_home})
endif()

# The tests that need a process of code page 932 (see InChildProcess in
# win32/test_util.cc), run under a Japanese locale.
add_test(NAME win32.code_page_932 COMMAND dzv_tests
  --gtest_filter=ProcessCodePage.*:CharsetSearchProcess.*:ArchiveOpen.WideStringsUnderCodePage932:AttributeGet.DoubleByteNamesMatchOnlyAtCharacterStarts)
set_tests_properties(win32.code_page_932 PROPERTIES ENVIRONMENT "LC_ALL=ja_JP.UTF-8"
  FAIL_REGULAR_EXPRESSION "SKIPPED \\]")
# The registry and clipboard are stand-ins until their backends land
# (src/platform/win32/pending.cc), as for abi.c_client.
if(TARGET dzv_abi_test_lib)
  set_tests_properties(win32.c_client_linked_through_the_lib PROPERTIES DISABLED TRUE)
endif()
