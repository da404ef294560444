# Calls that not every POSIX system has. Each one found becomes a PIBGEN_HAVE_* definition on
# the file layer; without it the code takes a portable path that does the same job more slowly.
# PIBGEN_FORCE_PORTABLE_FALLBACKS skips the checks so that those paths are built and tested.
option(PIBGEN_FORCE_PORTABLE_FALLBACKS "Use the portable code even where Linux calls exist" OFF)

include(CheckCXXSymbolExists)
function(pibgen_check_platform definition header)
  set(found OFF)
  if(NOT PIBGEN_FORCE_PORTABLE_FALLBACKS)
    set(found ON)
    foreach(symbol ${ARGN})
      check_cxx_symbol_exists(${symbol} ${header} PIBGEN_SYMBOL_${symbol})
      if(NOT PIBGEN_SYMBOL_${symbol})
        set(found OFF)
      endif()
    endforeach()
  endif()
  if(found)
    target_compile_definitions(pibgen_file PRIVATE ${definition})
  endif()
  set(${definition} ${found} PARENT_SCOPE)
  message(STATUS "${definition}: ${found}")
endfunction()

# Skipping the holes of a sparse image when reading it back (else: reading it all).
pibgen_check_platform(PIBGEN_HAVE_SEEK_DATA unistd.h SEEK_DATA SEEK_HOLE)
# Temporary files without a name, which vanish with the process however it ends (else: named
# ones, removed on the way out and by a terminating signal, but left behind by SIGKILL).
pibgen_check_platform(PIBGEN_HAVE_O_TMPFILE fcntl.h O_TMPFILE)
# Locking the destination against a second run (else: a POSIX record lock).
pibgen_check_platform(PIBGEN_HAVE_FLOCK sys/file.h flock LOCK_EX LOCK_NB)
