# Runs inside CPack once the files are staged: compresses every manual page there with
# gzip -9n (no name or time stamp, so the package is reproducible).
file(GLOB_RECURSE pages "${CPACK_TEMPORARY_DIRECTORY}/*/share/man/man*/*.[1-9]")
if(NOT pages)
  message(FATAL_ERROR "no manual page staged under ${CPACK_TEMPORARY_DIRECTORY}")
endif()
foreach(page ${pages})
  execute_process(COMMAND gzip -9nf ${page} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${page}")
  endif()
endforeach()
