# The folders the build happens in must not reach an optimised build's binaries (assertion
# texts, debug information), so that the same commit builds the same program, and package,
# anywhere. Debug builds keep full paths for debuggers and sanitizer reports. The build
# folder comes second: when it lies inside the source tree, its mapping wins.
include(CheckCXXCompilerFlag)
check_cxx_compiler_flag(-ffile-prefix-map=a=b PIBGEN_COMPILER_HAS_FILE_PREFIX_MAP)
if(PIBGEN_COMPILER_HAS_FILE_PREFIX_MAP)
  add_compile_options($<$<NOT:$<CONFIG:Debug>>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=>
                      $<$<NOT:$<CONFIG:Debug>>:-ffile-prefix-map=${PROJECT_BINARY_DIR}/=build/>)
endif()
