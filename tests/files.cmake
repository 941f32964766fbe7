# Helpers of the dictionary file tests, compiled into the unit test binary:
# the allocation watch replaces the global operator new.
target_sources(dzv_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/alloc_watch.cc)
