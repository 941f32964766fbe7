# The Linux backend: its sources, the system libraries it links (privately)
# and its compile options. Read by the top-level CMakeLists.txt when the
# target system is Linux, and by the fuzz project.
file(GLOB DZV_BACKEND_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cc)
find_package(Threads REQUIRED)
find_package(SQLite3 REQUIRED)
set(DZV_BACKEND_LIBRARIES ${CMAKE_DL_LIBS} Threads::Threads SQLite::SQLite3)
set(DZV_BACKEND_OPTIONS)
