# What the MinGW-w64 toolchain files share; each sets CMAKE_SYSTEM_PROCESSOR
# and _dzv_triple, then includes this. The -posix compilers give std::mutex
# and std::thread; their runtime libraries (libgcc, libstdc++, winpthread)
# are linked into every module, so the DLL needs only the system's own DLLs.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${_dzv_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_dzv_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_dzv_triple}-windres)
set(CMAKE_OBJDUMP ${_dzv_triple}-objdump)
set(CMAKE_DLLTOOL ${_dzv_triple}-dlltool)

set(CMAKE_FIND_ROOT_PATH /usr/${_dzv_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(_dzv_static_runtime "-static-libgcc -static-libstdc++ -static")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${_dzv_static_runtime}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${_dzv_static_runtime}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${_dzv_static_runtime}")
