# Cross-builds for 64-bit Windows with Debian's mingw-w64 (POSIX thread model, for std::thread):
#   cmake -S . -B build-windows --toolchain cmake/mingw-w64-x86_64.cmake \
#     -DCMAKE_PREFIX_PATH=/where/libxml2/was/installed
# Libraries, headers and packages are looked up only in the MinGW tree and in the prefixes of
# CMAKE_PREFIX_PATH, never among the host's; programs (python3, groff) are the host's.
# Programs link statically, so that they need no DLL beyond Windows' own, and CTest runs
# them under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(pibgen_mingw_triple x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${pibgen_mingw_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${pibgen_mingw_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${pibgen_mingw_triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${pibgen_mingw_triple} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libgcc, libstdc++ and winpthread go into each program instead of beside it as DLLs, and so
# does zlib (for the tests).
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(ZLIB_USE_STATIC_LIBS ON)

# Where Wine has a separate 64-bit loader it is called wine64; elsewhere wine runs both kinds.
find_program(PIBGEN_WINE NAMES wine64 wine)
if(PIBGEN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PIBGEN_WINE})
endif()
# GoogleTest's tests are listed when CTest starts, under the Wine that scripts/test-windows.sh
# has set up, rather than by the build, which so needs no Wine.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
