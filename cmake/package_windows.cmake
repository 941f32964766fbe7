# `cpack -G ZIP` on a Windows build: duduzuvez210-<version>-win32.zip (or
# -win64.zip) holding what a client's maintainer drops in or builds against:
#   README.txt                       how to put the DLL into a client's folder
#   bin/DUDUZUVEZ210.dll             the library
#   lib/libduduzuvez210.dll.a        the import library for MinGW
#   lib/DUDUZUVEZ210.lib             the import library for Microsoft's linker
#   include/duduzuvez210.h           the header
#   bin/dzv.exe, bin/dzv.txt         the command-line client and its manual
# (the lib and dev components; the CMake package and pkg-config file of the
# dev component come along).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_dzv_windows_system win64)
else()
  set(_dzv_windows_system win32)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/packaging/windows/README.txt DESTINATION . COMPONENT lib)
# The import library for Microsoft's linker, made beside the MinGW one
# (cmake/windows.cmake).
install(FILES $<TARGET_LINKER_FILE_DIR:duduzuvez210>/DUDUZUVEZ210.lib
  DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
set(CPACK_GENERATOR ZIP)
set(CPACK_SYSTEM_NAME ${_dzv_windows_system})
set(DZV_WINDOWS_PACKAGE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${_dzv_windows_system})
set(CPACK_PACKAGE_FILE_NAME ${DZV_WINDOWS_PACKAGE_NAME})
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
# The library's components and dzv, which a client's maintainer runs where
# the client runs.
set(CPACK_INSTALL_CMAKE_PROJECTS
  ${PROJECT_BINARY_DIR} ${PROJECT_NAME} lib /
  ${PROJECT_BINARY_DIR} ${PROJECT_NAME} dev /
  ${PROJECT_BINARY_DIR} ${PROJECT_NAME} dzv /)
