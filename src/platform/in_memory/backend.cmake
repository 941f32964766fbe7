# The backends that keep everything in memory, portable to every system: for
# the tests (tests/CMakeLists.txt links them beside the system's backend),
# never part of the shipped library. No system libraries, no options.
file(GLOB DZV_BACKEND_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cc)
set(DZV_BACKEND_LIBRARIES)
set(DZV_BACKEND_OPTIONS)
