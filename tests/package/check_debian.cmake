# Builds the Debian packages as a distribution would (a build of its own
# under WORK_DIR, installed under /usr so that the library goes into the
# multiarch directory), checks how the files are split between them, and runs
# lintian on them: any error fails.
#   cmake -DSOURCE_DIR=... -DWORK_DIR=... -DC_COMPILER=... -DCXX_COMPILER=...
#         [-DLAUNCHER=...] -P check_debian.cmake
foreach(tool lintian dpkg-deb dpkg-shlibdeps)
  find_program(found_${tool} ${tool})
  if(NOT found_${tool})
    message("SKIPPED: ${tool} is not installed (scripts/install-deps test installs it)")
    return()
  endif()
endforeach()

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out
                  ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${what} failed (${result}):\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

set(build ${WORK_DIR}/build)
file(REMOVE_RECURSE ${WORK_DIR})
set(launcher)
if(LAUNCHER)
  set(launcher -DCMAKE_C_COMPILER_LAUNCHER=${LAUNCHER} -DCMAKE_CXX_COMPILER_LAUNCHER=${LAUNCHER})
endif()
run("configuring" ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${build} -DCMAKE_BUILD_TYPE=RelWithDebInfo
    -DCMAKE_INSTALL_PREFIX=/usr -DDZV_WERROR=ON -DDZV_BUILD_TESTS=OFF -DDZV_BUILD_BENCH=OFF
    -DDZV_BUILD_EXAMPLES=OFF -DCMAKE_C_COMPILER=${C_COMPILER}
    -DCMAKE_CXX_COMPILER=${CXX_COMPILER} ${launcher})
run("building" ${CMAKE_COMMAND} --build ${build} -j2)
run("cpack" ${CMAKE_COMMAND} -E chdir ${build} cpack -G DEB)

# What each package holds: library, development files and program apart.
run("dpkg --print-architecture" dpkg --print-architecture)
string(STRIP "${last_output}" arch)
set(multiarch "\\./usr/lib/[a-z0-9_]+-linux-[a-z0-9_]+/")
foreach(package IN ITEMS
    "libduduzuvez210-0;${multiarch}libduduzuvez210\\.so\\.0\\.[0-9]+\\.[0-9]+\n|${multiarch}libduduzuvez210\\.so\\.0 ->"
    "libduduzuvez210-dev;${multiarch}libduduzuvez210\\.so ->|/usr/include/duduzuvez210\\.h\n|${multiarch}cmake/duduzuvez210/duduzuvez210Config\\.cmake\n|${multiarch}pkgconfig/duduzuvez210\\.pc\n"
    "dzv;/usr/bin/dzv\n|/usr/share/man/man1/dzv\\.1\\.gz\n")
  list(GET package 0 name)
  list(GET package 1 expected)
  file(GLOB deb ${build}/${name}_*_${arch}.deb)
  if(NOT deb)
    message(FATAL_ERROR "cpack made no package ${name}")
  endif()
  list(APPEND debs ${deb})
  run("dpkg-deb -c ${name}" dpkg-deb -c ${deb})
  string(REPLACE "|" ";" expected "${expected}")
  list(APPEND expected "/usr/share/doc/${name}/copyright\n"
       "/usr/share/doc/${name}/changelog\\.Debian\\.gz\n")
  foreach(pattern IN LISTS expected)
    if(NOT last_output MATCHES "${pattern}")
      message(FATAL_ERROR "${name} lacks ${pattern}:\n${last_output}")
    endif()
  endforeach()
  set(listing_${name} "${last_output}")
endforeach()
# The runtime package holds the library alone: no development link, header or
# program (which would make two versions' packages collide).
if(listing_libduduzuvez210-0 MATCHES "\\.so ->|include/|bin/|\\.pc\n|\\.cmake\n")
  message(FATAL_ERROR "libduduzuvez210-0 holds more than the library:\n${listing_libduduzuvez210-0}")
endif()

# Distribution rules, lintian's errors (its warnings are shown).
run("lintian" lintian --fail-on error ${debs})
message("${last_output}")
file(REMOVE_RECURSE ${WORK_DIR})
