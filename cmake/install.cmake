# What `cmake --install` puts in place: the library with its SONAME links, the
# header, a CMake package (find_package(duduzuvez210 CONFIG) gives the target
# duduzuvez210::duduzuvez210) and a pkg-config file. Both package files find
# the prefix from where they lie, so an installed tree may be moved.
include(CMakePackageConfigHelpers)

set(DZV_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/duduzuvez210)
set(DZV_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(TARGETS duduzuvez210 EXPORT duduzuvez210Targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/duduzuvez210.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT duduzuvez210Targets NAMESPACE duduzuvez210::
  DESTINATION ${DZV_CMAKE_PACKAGE_DIR})

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/duduzuvez210Config.cmake.in
  ${PROJECT_BINARY_DIR}/duduzuvez210Config.cmake
  INSTALL_DESTINATION ${DZV_CMAKE_PACKAGE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/duduzuvez210ConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/duduzuvez210Config.cmake
              ${PROJECT_BINARY_DIR}/duduzuvez210ConfigVersion.cmake
  DESTINATION ${DZV_CMAKE_PACKAGE_DIR})

# The pkg-config file names the prefix relative to its own directory.
file(RELATIVE_PATH DZV_PC_TO_PREFIX /prefix/${DZV_PKGCONFIG_DIR} /prefix)
string(REGEX REPLACE "/$" "" DZV_PC_TO_PREFIX "${DZV_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/duduzuvez210.pc.in
  ${PROJECT_BINARY_DIR}/duduzuvez210.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/duduzuvez210.pc DESTINATION ${DZV_PKGCONFIG_DIR})

# cpack -G DEB (from the build directory) makes a Debian package of all this.
set(DZV_PACKAGE_CONTACT "duduzuvez210 developers <duduzuvez210@example.invalid>"
  CACHE STRING "The maintainer named in the Debian package")
set(CPACK_PACKAGE_NAME duduzuvez210)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "utility library of a desktop client runtime, with its command-line client dzv")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "libduduzuvez210 gives client programs string dictionaries with archive files and a\n"
  "sorted text form, layered profiles, registry access, text utilities, a model-file line\n"
  "classifier, clipboard text and file dialogs. dzv looks into and repairs what it keeps.")
set(CPACK_PACKAGE_CONTACT ${DZV_PACKAGE_CONTACT})
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "zenity, xclip | wl-clipboard")
include(CPack)
