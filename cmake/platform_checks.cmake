# Calls that not every POSIX system has. Each one found becomes a PIBGEN_HAVE_* definition on
# pibgen_core; without it the code takes a portable path that does the same job more slowly.
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
    target_compile_definitions(pibgen_core PRIVATE ${definition})
  endif()
  message(STATUS "${definition}: ${found}")
endfunction()

# Skipping the holes of a sparse image when reading it back (else: reading it all).
pibgen_check_platform(PIBGEN_HAVE_SEEK_DATA unistd.h SEEK_DATA SEEK_HOLE)
# Moving the pages of a large table into its grown block (else: copying them).
pibgen_check_platform(PIBGEN_HAVE_MREMAP sys/mman.h mremap MREMAP_MAYMOVE MREMAP_FIXED)
# Anonymous mappings under their POSIX name (else: the older MAP_ANON).
pibgen_check_platform(PIBGEN_HAVE_MAP_ANONYMOUS sys/mman.h MAP_ANONYMOUS)
# Locking the destination against a second run (else: a POSIX record lock).
pibgen_check_platform(PIBGEN_HAVE_FLOCK sys/file.h flock LOCK_EX LOCK_NB)
