# The Linux backend: its sources, the system libraries it links (privately)
# and its compile options. Read by the top-level CMakeLists.txt when the
# target system is Linux, and by the fuzz project.
file(GLOB DZV_BACKEND_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cc)
find_package(Threads REQUIRED)
find_package(SQLite3 REQUIRED)
set(DZV_BACKEND_LIBRARIES ${CMAKE_DL_LIBS} Threads::Threads SQLite::SQLite3)
set(DZV_BACKEND_OPTIONS)
# The portal dialogs load sd-bus at run time; its header gives the types.
find_path(DZV_SD_BUS_INCLUDE_DIR systemd/sd-bus.h)
if(NOT DZV_SD_BUS_INCLUDE_DIR)
  message(FATAL_ERROR "systemd/sd-bus.h not found: install libsystemd-dev "
                      "(scripts/install-deps build)")
endif()
set(DZV_BACKEND_INCLUDE_DIRS ${DZV_SD_BUS_INCLUDE_DIR})
