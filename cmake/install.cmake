# What `cmake --install` puts in place: the library with its SONAME links, the
# header, a CMake package (find_package(duduzuvez210 CONFIG) gives the target
# duduzuvez210::duduzuvez210) and a pkg-config file. Both package files find
# the prefix from where they lie, so an installed tree may be moved.
# Each file belongs to one component, as Debian splits a library: lib (the
# shared library itself, or the DLL), dev (what building a client needs) and
# dzv (the command-line client, tools/CMakeLists.txt).
include(CMakePackageConfigHelpers)

set(DZV_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/duduzuvez210)
set(DZV_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(TARGETS duduzuvez210 EXPORT duduzuvez210Targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT lib NAMELINK_COMPONENT dev
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT lib
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
install(FILES ${PROJECT_SOURCE_DIR}/include/duduzuvez210.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)
install(EXPORT duduzuvez210Targets NAMESPACE duduzuvez210::
  DESTINATION ${DZV_CMAKE_PACKAGE_DIR} COMPONENT dev)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/duduzuvez210Config.cmake.in
  ${PROJECT_BINARY_DIR}/duduzuvez210Config.cmake
  INSTALL_DESTINATION ${DZV_CMAKE_PACKAGE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/duduzuvez210ConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/duduzuvez210Config.cmake
              ${PROJECT_BINARY_DIR}/duduzuvez210ConfigVersion.cmake
  DESTINATION ${DZV_CMAKE_PACKAGE_DIR} COMPONENT dev)

# The pkg-config file names the prefix relative to its own directory.
file(RELATIVE_PATH DZV_PC_TO_PREFIX /prefix/${DZV_PKGCONFIG_DIR} /prefix)
string(REGEX REPLACE "/$" "" DZV_PC_TO_PREFIX "${DZV_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/duduzuvez210.pc.in
  ${PROJECT_BINARY_DIR}/duduzuvez210.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/duduzuvez210.pc DESTINATION ${DZV_PKGCONFIG_DIR}
  COMPONENT dev)

set(DZV_PACKAGE_CONTACT "duduzuvez210 developers <duduzuvez210@example.invalid>"
  CACHE STRING "The maintainer named in the packages")
set(CPACK_PACKAGE_NAME duduzuvez210)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${DZV_PACKAGE_CONTACT})
set(CPACK_STRIP_FILES ON)
if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/package_windows.cmake)
else()
  include(${CMAKE_CURRENT_LIST_DIR}/package_debian.cmake)
endif()
include(CPack)
