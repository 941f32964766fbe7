# The run paths of the library and of every program that loads it: none may
# make the loader look in the current directory.
set(_dzv_runpath_files $<TARGET_FILE:duduzuvez210> $<TARGET_FILE:dzv>
    $<TARGET_FILE:dzv_installed> $<TARGET_FILE:dzv_tests> $<TARGET_FILE:dzv_abi_test>
    $<TARGET_FILE:dzv_never_frees> $<TARGET_FILE:dzv_registry_writer>)
if(DZV_BUILD_EXAMPLES)
  list(APPEND _dzv_runpath_files $<TARGET_FILE:dictionary_tour>)
endif()
if(DZV_BUILD_BENCH)
  list(APPEND _dzv_runpath_files $<TARGET_FILE:dzv_memory_probe>)
endif()
add_test(NAME build.run_paths_never_name_the_current_directory
  COMMAND ${CMAKE_COMMAND} -DREADELF=${CMAKE_READELF} "-DFILES=${_dzv_runpath_files}"
          -P ${CMAKE_CURRENT_SOURCE_DIR}/runpath/check_runpath.cmake)
set_tests_properties(build.run_paths_never_name_the_current_directory PROPERTIES
  SKIP_REGULAR_EXPRESSION "SKIPPED:")
