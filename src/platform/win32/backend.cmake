# The Windows backend: its sources, the system libraries it links (privately)
# and its compile options. Read by the top-level CMakeLists.txt when the
# target system is Windows.
file(GLOB DZV_BACKEND_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*.cc)
# The system's own DLLs only; MinGW's runtime is linked in statically (see
# cmake/toolchains/).
set(DZV_BACKEND_LIBRARIES kernel32 user32 advapi32 comdlg32 shell32 ole32)
set(DZV_BACKEND_INCLUDE_DIRS)
set(DZV_BACKEND_OPTIONS)
