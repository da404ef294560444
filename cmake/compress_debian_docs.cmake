# Runs inside CPack once the files are staged: compresses every manual page and the changelog
# there with gzip -9n (no name or time stamp, so the package is reproducible), as Debian
# keeps them.
file(GLOB_RECURSE pages "${CPACK_TEMPORARY_DIRECTORY}/*/share/man/man*/*.[1-9]")
file(GLOB_RECURSE changelogs "${CPACK_TEMPORARY_DIRECTORY}/*/share/doc/pibgen/changelog")
if(NOT pages OR NOT changelogs)
  message(FATAL_ERROR "no manual page or changelog staged under ${CPACK_TEMPORARY_DIRECTORY}")
endif()
foreach(file ${pages} ${changelogs})
  execute_process(COMMAND gzip -9nf ${file} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${file}")
  endif()
endforeach()
