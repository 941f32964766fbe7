# Stand-ins for the libraries that the credential functions load at run time;
# the loader's contract tests load them too.
# Each is built under the exact file name the library asks for, in a
# directory of its own under DZV_FAKES_DIR that a test puts on
# LD_LIBRARY_PATH; the directory "none" stays empty.
set(DZV_FAKES_DIR ${CMAKE_CURRENT_BINARY_DIR}/fakes)
file(MAKE_DIRECTORY ${DZV_FAKES_DIR}/none)

function(dzv_add_fake_library target source file_name variant)
  add_library(${target} MODULE ${CMAKE_CURRENT_SOURCE_DIR}/fakes/${source})
  set_target_properties(${target} PROPERTIES
    PREFIX "" OUTPUT_NAME ${file_name} SUFFIX ""
    LIBRARY_OUTPUT_DIRECTORY ${DZV_FAKES_DIR}/${variant}
    C_VISIBILITY_PRESET default)
  target_compile_definitions(${target} PRIVATE ${ARGN})
  if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_link_options(${target} PRIVATE -Wl,--kill-at)
  endif()
  add_dependencies(dzv_tests ${target})
endfunction()

dzv_add_fake_library(dzv_fake_sibling devidoz_fake.c devidoz.dll sibling)
dzv_add_fake_library(dzv_fake_sibling_lsa_only devidoz_fake.c devidoz.dll sibling_lsa_only
                     DZV_FAKE_LSA_ONLY)
dzv_add_fake_library(dzv_fake_oci oci_fake.c Oci.dll oci)
dzv_add_fake_library(dzv_fake_oci_no_change oci_fake.c Oci.dll oci_no_change
                     DZV_FAKE_NO_PASSWORD_CHANGE)
target_compile_definitions(dzv_tests PRIVATE DZV_FAKES_DIR="${DZV_FAKES_DIR}")
