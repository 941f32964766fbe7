# dzv.exe: linked through the import library, it finds DUDUZUVEZ210.dll in
# its own folder (bin/ of the build folder and of the ZIP). Its runtime
# libraries are linked in (see the toolchain files), so it needs the library
# and the system's DLLs only.
install(TARGETS dzv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT dzv)

# dzv.txt, every help text of dzv.exe, made from the same command tables:
# dzv's sources are built once more for the machine that builds, with each
# function of the library replaced by one that aborts (the manual calls
# none), and the program that writes the manual is run. No Windows program
# has to run for it, so a machine that cannot run the 32-bit build still
# packs its manual.
find_program(DZV_HOST_CXX NAMES c++ g++ clang++ REQUIRED NO_CMAKE_FIND_ROOT_PATH)
file(STRINGS ${DZV_EXPORT_LIST} _dzv_exports REGEX "^[A-Za-z_]")
set(_dzv_stubs "// Every function of the library, made to abort: dzv's manual calls none.\n")
string(APPEND _dzv_stubs "#include <cstdlib>\n")
foreach(_line IN LISTS _dzv_exports)
  string(REGEX REPLACE "[ \t].*" "" _name "${_line}")
  string(APPEND _dzv_stubs "extern \"C\" void ${_name}() { std::abort(); }\n")
endforeach()
file(GENERATE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/dzv_manual/library_stubs.cc CONTENT "${_dzv_stubs}")
file(GLOB _dzv_manual_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/dzv/*.cc
     ${CMAKE_CURRENT_SOURCE_DIR}/dzv/posix/*.cc)
list(REMOVE_ITEM _dzv_manual_sources ${CMAKE_CURRENT_SOURCE_DIR}/dzv/main.cc)
set(_dzv_manual_program ${CMAKE_CURRENT_BINARY_DIR}/dzv_manual/dzv_manual)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/dzv.txt
  COMMAND ${DZV_HOST_CXX} -std=c++20 -O0 -w -DDZV_VERSION="${PROJECT_VERSION}"
          -I${PROJECT_SOURCE_DIR}/include -I${CMAKE_CURRENT_SOURCE_DIR}/dzv
          ${_dzv_manual_sources} ${CMAKE_CURRENT_SOURCE_DIR}/dzv_manual/main.cc
          ${CMAKE_CURRENT_BINARY_DIR}/dzv_manual/library_stubs.cc -o ${_dzv_manual_program}
  COMMAND ${_dzv_manual_program} ${PROJECT_BINARY_DIR}/dzv.txt
  DEPENDS ${_dzv_manual_sources} ${CMAKE_CURRENT_SOURCE_DIR}/dzv_manual/main.cc
          ${CMAKE_CURRENT_BINARY_DIR}/dzv_manual/library_stubs.cc
          ${PROJECT_SOURCE_DIR}/include/duduzuvez210.h
  COMMENT "Writing dzv.txt, the manual of dzv.exe"
  VERBATIM)
add_custom_target(dzv_manual ALL DEPENDS ${PROJECT_BINARY_DIR}/dzv.txt)
install(FILES ${PROJECT_BINARY_DIR}/dzv.txt DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT dzv)
