# The library's sources: the portable folders of src/, then the one backend
# folder of the target system (src/platform/<backend>/). Used by the main
# build and by the fuzz targets' own project.
set(DZV_PORTABLE_DIRS library dictionary profile text desktop credentials platform)

function(dzv_core_sources root backend out_var)
  set(_all)
  foreach(_dir IN LISTS DZV_PORTABLE_DIRS ITEMS platform/${backend})
    file(GLOB _sources CONFIGURE_DEPENDS ${root}/src/${_dir}/*.cc)
    list(APPEND _all ${_sources})
  endforeach()
  set(${out_var} ${_all} PARENT_SCOPE)
endfunction()
