# Fails when a program's run path (DT_RUNPATH or DT_RPATH) has an empty entry
# or a relative one: the loader would look for libraries in the current
# directory, or one below it. Entries must be absolute or begin with $ORIGIN.
#   cmake -DREADELF=... -DFILES=a;b -P check_runpath.cmake
if(NOT READELF)
  message("SKIPPED: no readelf to read the run paths with")
  return()
endif()
foreach(file IN LISTS FILES)
  execute_process(COMMAND ${READELF} -d ${file} RESULT_VARIABLE result OUTPUT_VARIABLE dynamic
                  ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "readelf -d ${file} failed: ${err}")
  endif()
  string(REGEX MATCHALL "\\((RUNPATH|RPATH)\\)[^\n]*\\[[^\n]*\\]" entries "${dynamic}")
  foreach(entry IN LISTS entries)
    string(REGEX REPLACE "^.*\\[(.*)\\]$" "\\1" path "${entry}")
    # An empty entry is what the loader takes as the current directory.
    string(REGEX MATCH "(^:|::|:$)" empty "${path}")
    if(path STREQUAL "" OR empty)
      message(FATAL_ERROR "${file}: its run path '${path}' has an empty entry")
    endif()
    string(REPLACE ":" ";" parts "${path}")
    foreach(part IN LISTS parts)
      if(NOT part MATCHES "^(/|\\$ORIGIN(/|$)|\\$\\{ORIGIN\\}(/|$))")
        message(FATAL_ERROR "${file}: its run path '${path}' has the relative entry '${part}'")
      endif()
    endforeach()
  endforeach()
  message(STATUS "${file}: ${entries}")
endforeach()
