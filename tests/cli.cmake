# The command-line client, run as a child process by cli_test.cc and the
# family files cli_*_test.cc (over cli_test_util.h); the tour
# of examples/ run as the README's first command runs it; and the installed
# package used by clients built against it.
add_dependencies(dzv_tests dzv)
target_link_libraries(dzv_tests PRIVATE GTest::gmock)
target_compile_definitions(dzv_tests PRIVATE
  DZV_CLI_PATH="$<TARGET_FILE:dzv>"
  DZV_VERSION="${PROJECT_VERSION}")

# dzv's own reading of an archive's framing, checked against the library's.
target_sources(dzv_tests PRIVATE
  ${PROJECT_SOURCE_DIR}/tools/dzv/archive_probe.cc
  ${PROJECT_SOURCE_DIR}/tools/dzv/posix/file_checks.cc
  ${PROJECT_SOURCE_DIR}/tools/dzv/posix/path_walk.cc)
target_include_directories(dzv_tests PRIVATE ${PROJECT_SOURCE_DIR}/tools/dzv)

add_test(NAME examples.tour COMMAND sh ${PROJECT_SOURCE_DIR}/examples/tour.sh ${PROJECT_BINARY_DIR})

if(DZV_SANITIZE)
  list(JOIN DZV_SANITIZE "," _dzv_san)
  set(_dzv_client_flags "-fsanitize=${_dzv_san}")
endif()
add_test(NAME install.clients_build_against_the_package
  COMMAND ${CMAKE_COMMAND}
    -DBUILD_DIR=${PROJECT_BINARY_DIR} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
    -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/installed -DC_COMPILER=${CMAKE_C_COMPILER}
    -DSANITIZE_FLAGS=${_dzv_client_flags} -DREADELF=${CMAKE_READELF}
    -P ${CMAKE_CURRENT_SOURCE_DIR}/install/check_installed.cmake)
