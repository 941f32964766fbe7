# Out-of-memory paths of copy, merge and profiles: a binary of its own,
# because it replaces the global allocator to fail chosen allocations.
add_executable(dzv_alloc_fault_tests ${CMAKE_CURRENT_LIST_DIR}/alloc_faults.cc)
target_link_libraries(dzv_alloc_fault_tests PRIVATE dzv_core GTest::gtest GTest::gtest_main)
gtest_discover_tests(dzv_alloc_fault_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
