# Out-of-memory and I/O fault tests: a binary of its own, where runs that
# fail every allocation in turn and count the blocks left live disturb no
# other test.
file(GLOB DZV_OOM_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/oom/*.cc)
add_executable(dzv_oom_tests ${DZV_OOM_TEST_SOURCES})
target_link_libraries(dzv_oom_tests PRIVATE dzv_test_support dzv_core dzv_in_memory
                      GTest::gtest_main)
dzv_add_gtest_binary(dzv_oom_tests "oom.")
