# The Debian packages (cmake/package_debian.cmake): built in a build of their
# own (installed under /usr) and checked with lintian; skipped where lintian
# or dpkg is absent. Packages come from plain builds, not sanitizer ones.
if(NOT WIN32 AND NOT DZV_SANITIZE)
  add_test(NAME package.debian_packages_pass_lintian
    COMMAND ${CMAKE_COMMAND}
      -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/debian-package
      -DC_COMPILER=${CMAKE_C_COMPILER} -DCXX_COMPILER=${CMAKE_CXX_COMPILER}
      -DLAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER}
      -P ${CMAKE_CURRENT_SOURCE_DIR}/package/check_debian.cmake)
  set_tests_properties(package.debian_packages_pass_lintian PROPERTIES
    LABELS package PROCESSORS 2 TIMEOUT 1200 SKIP_REGULAR_EXPRESSION "SKIPPED:")
endif()

# The Windows ZIP package (cmake/package_windows.cmake): what a client's
# maintainer unpacks, checked by name, and the imports of its dzv.exe.
if(WIN32)
  add_test(NAME package.windows_zip
    COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${PROJECT_BINARY_DIR}
      -DARCHIVE=${DZV_WINDOWS_PACKAGE_NAME}.zip -DOBJDUMP=${CMAKE_OBJDUMP}
      -P ${CMAKE_CURRENT_SOURCE_DIR}/package/check_windows_zip.cmake)
  set_tests_properties(package.windows_zip PROPERTIES LABELS package RUN_SERIAL ON)
endif()
