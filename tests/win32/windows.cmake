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
  --gtest_filter=ProcessCodePage.*:DzvPaths.DoubleByteNamesWhoseSecondByteIsABackslash:CharsetSearchProcess.*:ArchiveOpen.WideStringsUnderCodePage932:AttributeGet.DoubleByteNamesMatchOnlyAtCharacterStarts:*/RegistryContract.SecondBytesOfDoubleByteCharactersAreNotFolded/*)
set_tests_properties(win32.code_page_932 PROPERTIES ENVIRONMENT "LC_ALL=ja_JP.UTF-8"
  FAIL_REGULAR_EXPRESSION "SKIPPED \\]")
# A link of the host's, which Wine shows as a plain file, for the save
# through a link (WindowsFiles.SavingThroughALinkKeepsIt): made here, named
# to the test by its Windows path on drive Z:, Wine's name for /.
set(_dzv_link_dir ${CMAKE_CURRENT_BINARY_DIR}/link-test)
file(MAKE_DIRECTORY ${_dzv_link_dir})
file(TOUCH ${_dzv_link_dir}/target.dat)
file(CREATE_LINK target.dat ${_dzv_link_dir}/link.dat SYMBOLIC)
# And one to a file that does not exist, which a save must leave a link.
file(REMOVE ${_dzv_link_dir}/dangling.dat)
file(CREATE_LINK missing.dat ${_dzv_link_dir}/dangling.dat SYMBOLIC)
string(REPLACE "/" "\\" _dzv_link "Z:${_dzv_link_dir}/link.dat")
set_property(TEST dzv_tests.shard0 dzv_tests.shard1 APPEND PROPERTY ENVIRONMENT
  "DZV_TEST_LINK=${_dzv_link}")

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
# The C clients put text on the clipboard of the build's Wine prefix, which
# an opening by one makes fail for the other: one at a time.
set_tests_properties(abi.c_client PROPERTIES RESOURCE_LOCK dzv_wine_clipboard)
if(TARGET dzv_abi_test_lib)
  set_tests_properties(win32.c_client_linked_through_the_lib PROPERTIES
    RESOURCE_LOCK dzv_wine_clipboard)
endif()

# The suites that run dzv as a user runs it (cli_*_test.cc, the hostile
# inputs of dzv_hostile_test.cc) run dzv.exe here, named on drive Z:, Wine's
# name for the root of the Unix files, since it runs in a folder on C:.
add_dependencies(dzv_tests dzv)
target_link_libraries(dzv_tests PRIVATE GTest::gmock)
string(REPLACE "/" "\\\\" _dzv_exe "Z:${PROJECT_BINARY_DIR}/bin/dzv.exe")
target_compile_definitions(dzv_tests PRIVATE DZV_CLI_PATH="${_dzv_exe}"
                                             DZV_VERSION="${PROJECT_VERSION}")
# How dzv.exe shows what it writes on a console: its own code, built in.
target_sources(dzv_tests PRIVATE ${PROJECT_SOURCE_DIR}/tools/dzv/escapes.cc
                                 ${PROJECT_SOURCE_DIR}/tools/dzv/win32/system.cc)
target_include_directories(dzv_tests PRIVATE ${PROJECT_SOURCE_DIR}/tools/dzv)

# The tour for Windows (examples\tour.cmd) run by Wine's cmd, as a user runs
# it: it must end with 0 and leave no folder and no registry key behind (it
# checks its own cleanup steps). It uses the prefix's clipboard.
if(CMAKE_CROSSCOMPILING_EMULATOR)
  string(REPLACE "/" "\\\\" _dzv_tour "Z:${PROJECT_SOURCE_DIR}/examples/tour.cmd")
  string(REPLACE "/" "\\\\" _dzv_tour_bin "Z:${PROJECT_BINARY_DIR}/bin")
  add_test(NAME examples.tour_cmd
           COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} cmd /c ${_dzv_tour} ${_dzv_tour_bin})
  set_tests_properties(examples.tour_cmd PROPERTIES SKIP_RETURN_CODE 77
    RESOURCE_LOCK dzv_wine_clipboard FAIL_REGULAR_EXPRESSION "tour: that should have")
endif()
