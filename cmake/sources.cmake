# The library's portable sources: the folders of src/ that every system
# compiles. The backend of the target system adds its own
# (src/platform/<backend>/backend.cmake). Used by the main build and by the
# fuzz targets' own project.
set(DZV_PORTABLE_DIRS library dictionary profile text desktop credentials platform)

function(dzv_portable_sources root out_var)
  set(_all)
  foreach(_dir IN LISTS DZV_PORTABLE_DIRS)
    file(GLOB _sources CONFIGURE_DEPENDS ${root}/src/${_dir}/*.cc)
    list(APPEND _all ${_sources})
  endforeach()
  set(${out_var} ${_all} PARENT_SCOPE)
endfunction()
