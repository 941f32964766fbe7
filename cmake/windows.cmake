# The Windows build: DUDUZUVEZ210.dll with the export list's names and
# ordinals, its two import libraries, GoogleTest compiled with the cross
# compiler, and Wine to run the tests (see cmake/toolchains/).

# Turns the DLL target `target` into DUDUZUVEZ210.dll, exported through the
# module-definition file `def_file` only, and makes its import libraries:
# libduduzuvez210.dll.a for MinGW and DUDUZUVEZ210.lib for Microsoft's linker.
# On 32-bit x86 callers name a __stdcall function by its decorated name
# (_Name@n) while the DLL exports the plain name of the .def: the DLL is
# linked with --kill-at, and both import libraries are made from the .def
# with the decorated names (see cmake/import_libraries.cmake).
function(dzv_configure_windows_library target def_file)
  set_target_properties(${target} PROPERTIES
    PREFIX "" OUTPUT_NAME DUDUZUVEZ210 SUFFIX ".dll"
    IMPORT_PREFIX "" IMPORT_SUFFIX "" ARCHIVE_OUTPUT_NAME "libduduzuvez210.dll.a"
    LINK_DEPENDS ${def_file})
  # Only the .def decides what is exported: nothing is exported
  # automatically.
  target_link_options(${target} PRIVATE ${def_file} -Wl,--no-undefined -Wl,--exclude-all-symbols)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_link_options(${target} PRIVATE -Wl,--kill-at -Wl,--enable-stdcall-fixup)
    set(_machine i386)
  else()
    set(_machine i386:x86-64)
  endif()
  find_program(DZV_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14 llvm-dlltool-15 REQUIRED)
  file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/dzv_core_objects.txt
       CONTENT "$<JOIN:$<TARGET_OBJECTS:dzv_core>,\n>\n")
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DDEF=${def_file} -DMACHINE=${_machine}
            -DNM=${CMAKE_NM} -DOBJECTS_LIST=${PROJECT_BINARY_DIR}/dzv_core_objects.txt
            -DLLVM_DLLTOOL=${DZV_LLVM_DLLTOOL} -DGNU_DLLTOOL=${CMAKE_DLLTOOL}
            -DOUT_DIR=$<TARGET_LINKER_FILE_DIR:${target}>
            -P ${PROJECT_SOURCE_DIR}/cmake/import_libraries.cmake
    VERBATIM)
endfunction()

# GoogleTest from Debian's source package (/usr/src/googletest), built
# statically with the cross compiler. Gives GTest::gtest, GTest::gtest_main
# and GTest::gmock.
function(dzv_add_googletest_from_source)
  set(DZV_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest's sources")
  if(NOT EXISTS ${DZV_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
    message(STATUS "GoogleTest sources not found: the tests are not built")
    return()
  endif()
  set(BUILD_SHARED_LIBS OFF)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  # Not the project's code: the project's warnings are not added to it.
  add_subdirectory(${DZV_GOOGLETEST_SOURCE_DIR} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endfunction()

# Wine runs the test programs: a wrapper with a prefix of the build's own
# (32-bit for a 32-bit build), created on first use.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(DZV_WINEARCH win32)
else()
  set(DZV_WINEARCH win64)
endif()
find_program(DZV_WINE wine)
if(DZV_WINE AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(DZV_WINEPREFIX ${PROJECT_BINARY_DIR}/wineprefix)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/wine-run.sh.in ${PROJECT_BINARY_DIR}/wine-run.sh
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                  WORLD_READ WORLD_EXECUTE @ONLY)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_BINARY_DIR}/wine-run.sh)
endif()
