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

# The desktop services on the system's clipboard and common dialogs: one
# program whose cases run one after another, on an X server of its own
# (Xvfb) and in a Wine prefix of its own, so that its windows and clipboard
# meet no other test's and never the developer's desktop.
file(GLOB _dzv_desktop_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/win32/desktop/*_test.cc)
add_executable(dzv_win32_desktop_tests ${_dzv_desktop_tests})
target_link_libraries(dzv_win32_desktop_tests PRIVATE dzv_core GTest::gtest GTest::gtest_main)
find_program(DZV_XVFB_RUN xvfb-run)
if(DZV_XVFB_RUN AND DZV_WINE)
  function(dzv_configure_desktop_wine_runner)
    set(DZV_WINEPREFIX ${PROJECT_BINARY_DIR}/wineprefix-desktop)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/wine-run.sh.in ${PROJECT_BINARY_DIR}/wine-run-desktop.sh
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                    WORLD_READ WORLD_EXECUTE @ONLY)
  endfunction()
  dzv_configure_desktop_wine_runner()
  add_test(NAME win32.desktop_services
    COMMAND ${DZV_XVFB_RUN} -a -s "-screen 0 1280x1024x24" ${PROJECT_BINARY_DIR}/wine-run-desktop.sh
            $<TARGET_FILE:dzv_win32_desktop_tests>)
else()
  add_test(NAME win32.desktop_services COMMAND sh -c "echo 'skipped: needs wine and xvfb-run'; exit 77")
  set_tests_properties(win32.desktop_services PROPERTIES SKIP_RETURN_CODE 77)
endif()
