# A registry client run as a child process: several at once by the
# concurrency test, and alone under valgrind (or LeakSanitizer) to show that
# unloading closes the database and leaves nothing behind.
add_executable(dzv_registry_writer registry_writer.c)
target_link_libraries(dzv_registry_writer PRIVATE duduzuvez210)
add_dependencies(dzv_tests dzv_registry_writer)
target_compile_definitions(dzv_tests PRIVATE
  DZV_REGISTRY_WRITER_PATH="$<TARGET_FILE:dzv_registry_writer>")

set(_dzv_registry_home ${CMAKE_CURRENT_BINARY_DIR}/registry-home)
add_test(NAME registry.unload_closes_database
         COMMAND ${DZV_MEMCHECK} $<TARGET_FILE:dzv_registry_writer> Software\\DzvUnload v 20)
set_tests_properties(registry.unload_closes_database PROPERTIES
  ENVIRONMENT "XDG_CONFIG_HOME=${_dzv_registry_home}")
