# Out-of-memory tests: a binary of its own, whose replaced operator new can
# fail the Nth allocation.
file(GLOB DZV_OOM_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/oom/*.cc)
add_executable(dzv_oom_tests ${DZV_OOM_TEST_SOURCES} ${DZV_TEST_UTIL})
target_include_directories(dzv_oom_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(dzv_oom_tests PRIVATE dzv_core dzv_in_memory GTest::gtest GTest::gtest_main)
dzv_add_gtest_binary(dzv_oom_tests "oom.")
