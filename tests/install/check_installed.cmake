# Installs the build into a fresh prefix, then builds and runs a client
# against the installed package twice: once through find_package (CMake) and
# once through pkg-config. Also runs the installed dzv.
#   cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=... -DC_COMPILER=...
#         [-DSANITIZE_FLAGS=...] -P check_installed.cmake
function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out
                  ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${what} failed (${result}):\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
run("cmake --install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# What a package holds: the library with its SONAME links, the header, the
# CMake package, the pkg-config file, dzv and its manual page.
file(GLOB_RECURSE installed RELATIVE ${prefix} LIST_DIRECTORIES false ${prefix}/*)
foreach(pattern
    "lib[^/]*/libduduzuvez210\\.so$" "lib[^/]*/libduduzuvez210\\.so\\.0$"
    "lib[^/]*/libduduzuvez210\\.so\\.0\\.[0-9]+\\.[0-9]+$" "include/duduzuvez210\\.h$"
    "cmake/duduzuvez210/duduzuvez210Config\\.cmake$"
    "cmake/duduzuvez210/duduzuvez210ConfigVersion\\.cmake$"
    "pkgconfig/duduzuvez210\\.pc$" "bin/dzv$" "man/man1/dzv\\.1\\.gz$")
  set(found ${installed})
  list(FILTER found INCLUDE REGEX "${pattern}")
  if(NOT found)
    message(FATAL_ERROR "the installed tree lacks ${pattern}")
  endif()
endforeach()
file(GLOB libraries ${prefix}/lib*/libduduzuvez210.so)
if(NOT IS_SYMLINK ${libraries})
  message(FATAL_ERROR "libduduzuvez210.so is not a link to the versioned library")
endif()
get_filename_component(libdir ${libraries} DIRECTORY)

# A client through find_package(duduzuvez210 CONFIG).
set(flags "")
if(SANITIZE_FLAGS)
  set(flags -DCMAKE_C_FLAGS=${SANITIZE_FLAGS} -DCMAKE_EXE_LINKER_FLAGS=${SANITIZE_FLAGS})
endif()
run("configuring the client" ${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples/installed_client
    -B ${WORK_DIR}/cmake-client -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_C_COMPILER=${C_COMPILER} ${flags})
run("building the client" ${CMAKE_COMMAND} --build ${WORK_DIR}/cmake-client)
run("running the client" ${WORK_DIR}/cmake-client/installed_client)
message(STATUS "find_package client: ${last_output}")

# The same client through pkg-config.
find_program(PKG_CONFIG pkg-config REQUIRED)
set(ENV{PKG_CONFIG_PATH} ${libdir}/pkgconfig)
run("pkg-config" ${PKG_CONFIG} --cflags --libs duduzuvez210)
separate_arguments(pc_flags UNIX_COMMAND "${last_output}")
separate_arguments(sanitize UNIX_COMMAND "${SANITIZE_FLAGS}")
run("compiling with pkg-config's flags" ${C_COMPILER} ${sanitize}
    ${SOURCE_DIR}/examples/installed_client/client.c ${pc_flags}
    -Wl,-rpath,${libdir} -o ${WORK_DIR}/pkg-config-client)
run("running the pkg-config client" ${WORK_DIR}/pkg-config-client)

# The installed dzv finds the installed library by itself, through a run
# path relative to where it lies and nothing else.
if(READELF)
  run("the run paths of the installed dzv" ${CMAKE_COMMAND} -DREADELF=${READELF}
      -DFILES=${prefix}/bin/dzv -P ${CMAKE_CURRENT_LIST_DIR}/../runpath/check_runpath.cmake)
  run("readelf -d" ${READELF} -d ${prefix}/bin/dzv)
  if(NOT last_output MATCHES "RUNPATH\\)[^\n]*\\[\\$ORIGIN/\\.\\./lib[^:]*\\]")
    message(FATAL_ERROR "the installed dzv's run path is not $ORIGIN/../lib: ${last_output}")
  endif()
endif()
run("the installed dzv" ${prefix}/bin/dzv --version)
if(NOT last_output MATCHES "^dzv ")
  message(FATAL_ERROR "the installed dzv says: ${last_output}")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
