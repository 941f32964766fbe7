# `cpack -G DEB` from a build configured with CMAKE_INSTALL_PREFIX=/usr (so
# that GNUInstallDirs puts the library into the multiarch directory) makes the
# three packages Debian makes of a library:
#   libduduzuvez210-0    the shared library (SONAME libduduzuvez210.so.0),
#                        with shlibs and an ldconfig trigger
#   libduduzuvez210-dev  the development link, header, CMake package and
#                        pkg-config file
#   dzv                  the command-line client and its manual page
# each with the machine-readable copyright file and changelog.Debian.gz in
# /usr/share/doc/<package>/. tests/package/check_debian.cmake checks them with
# lintian.
set(DZV_DEBIAN_RELEASE 1)
set(DZV_DEBIAN_VERSION ${PROJECT_VERSION}-${DZV_DEBIAN_RELEASE})
set(DZV_DEBIAN_LIBRARY_PACKAGE libduduzuvez210-${PROJECT_VERSION_MAJOR})

# The changelog, compressed as Debian wants it (gzip -9n: no name, no time).
find_program(GZIP gzip REQUIRED)
set(_dzv_doc_dir ${PROJECT_BINARY_DIR}/packaging)
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/changelog.in
  ${_dzv_doc_dir}/changelog.in.Debian @ONLY)
add_custom_command(OUTPUT ${_dzv_doc_dir}/changelog.Debian.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${_dzv_doc_dir}/changelog.in.Debian
          ${_dzv_doc_dir}/changelog.Debian
  COMMAND ${GZIP} -9nf ${_dzv_doc_dir}/changelog.Debian
  DEPENDS ${_dzv_doc_dir}/changelog.in.Debian VERBATIM)
add_custom_target(dzv_debian_changelog ALL DEPENDS ${_dzv_doc_dir}/changelog.Debian.gz)

foreach(_dzv_package IN ITEMS lib:${DZV_DEBIAN_LIBRARY_PACKAGE} dev:libduduzuvez210-dev dzv:dzv)
  string(REPLACE ":" ";" _dzv_package ${_dzv_package})
  list(GET _dzv_package 0 _dzv_component)
  list(GET _dzv_package 1 _dzv_name)
  string(TOUPPER ${_dzv_component} _dzv_upper)
  set(CPACK_DEBIAN_${_dzv_upper}_PACKAGE_NAME ${_dzv_name})
  set(CPACK_DEBIAN_${_dzv_upper}_FILE_NAME DEB-DEFAULT)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright
                ${_dzv_doc_dir}/changelog.Debian.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${_dzv_name} COMPONENT ${_dzv_component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL lib dev dzv)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${DZV_DEBIAN_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SOURCE duduzuvez210)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENT_DEV_DEPENDS lib)
set(CPACK_COMPONENT_DZV_DEPENDS lib)

set(CPACK_DEBIAN_LIB_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LIB_PACKAGE_SUGGESTS
    "xdg-desktop-portal, libsystemd0, zenity, xclip | wl-clipboard")
# shlibs (made by CPack from the SONAME, for the package that holds the
# library) and the ldconfig trigger. (CPack adds maintainer scripts that call
# ldconfig as well; lintian warns that the trigger makes them redundant.)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_LIB_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/debian/triggers)
set(CPACK_DEBIAN_LIB_DESCRIPTION
  "utility library of a desktop client runtime
libduduzuvez210 gives client programs string dictionaries with archive files
and a sorted text form, layered profiles, registry access, text utilities, a
model-file line classifier, clipboard text and file dialogs.")
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_DESCRIPTION
  "utility library of a desktop client runtime - development files
The header, the development link, a CMake package (find_package(duduzuvez210))
and a pkg-config file for building clients of libduduzuvez210.")
set(CPACK_DEBIAN_DZV_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_DZV_DESCRIPTION
  "looks into and repairs what libduduzuvez210 keeps
dzv, the command-line client of libduduzuvez210, reads and changes dictionary
archive files and their text forms, profile layers, registry values and the
clipboard, and reads Rose model files line by line.")
# dpkg-shlibdeps finds the library that dzv links in the build tree.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR})
