# Optimised builds (every configuration but Debug) are hardened the way Debian builds its
# packages: position-independent executable, full RELRO with immediate binding, stack
# protector and _FORTIFY_SOURCE. Where dpkg-buildflags is installed its values are used
# (hardening=+all, without its -g, -O and prefix maps, which the build type and
# reproducible_paths.cmake set); elsewhere the same flags as far as the toolchain takes them.
# Windows builds (MinGW) get the stack protector, _FORTIFY_SOURCE, ASLR and DEP.
# Debug builds (the sanitizer and coverage builds) and fuzz builds are left alone:
# _FORTIFY_SOURCE needs optimisation and would hide faults from the sanitizers.
option(PIBGEN_HARDENING "Harden optimised builds (PIE, RELRO, BIND_NOW, stack protector, FORTIFY)"
       ON)
if(NOT PIBGEN_HARDENING OR PIBGEN_FUZZ)
  return()
endif()

include(CheckPIESupported)
check_pie_supported(LANGUAGES C CXX)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

find_program(PIBGEN_DPKG_BUILDFLAGS dpkg-buildflags)
if(MINGW)
  # A Windows program: the host's dpkg-buildflags speaks for ELF linkers. The stack protector
  # and _FORTIFY_SOURCE's checked calls live in MinGW's libssp, which -fstack-protector-strong
  # brings into the link; ASLR (above 4 GB too) and DEP are flags in the PE header.
  set(pibgen_hardening_CPPFLAGS -D_FORTIFY_SOURCE=2)
  set(pibgen_hardening_CXXFLAGS -fstack-protector-strong -Wformat -Werror=format-security)
  set(pibgen_hardening_LDFLAGS -fstack-protector-strong -Wl,--dynamicbase -Wl,--nxcompat
                               -Wl,--high-entropy-va)
elseif(PIBGEN_DPKG_BUILDFLAGS)
  set(pibgen_hardening_flags)
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
              ${PIBGEN_DPKG_BUILDFLAGS} --get ${kind}
      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags EXCLUDE REGEX "^-(g.*|O.*|f(file|debug|macro)-prefix-map=.*)$")
    set(pibgen_hardening_${kind} ${flags})
  endforeach()
else()
  set(pibgen_hardening_CPPFLAGS -D_FORTIFY_SOURCE=2)
  set(pibgen_hardening_CXXFLAGS -fstack-protector-strong -Wformat -Werror=format-security)
  include(CheckLinkerFlag)
  check_linker_flag(CXX "-Wl,-z,relro,-z,now" PIBGEN_LINKER_HAS_RELRO_NOW)
  set(pibgen_hardening_LDFLAGS)
  if(PIBGEN_LINKER_HAS_RELRO_NOW)
    set(pibgen_hardening_LDFLAGS -Wl,-z,relro -Wl,-z,now)
  endif()
endif()
set(pibgen_hardening_compile ${pibgen_hardening_CPPFLAGS} ${pibgen_hardening_CXXFLAGS})
list(JOIN pibgen_hardening_compile " " compile_text)
list(JOIN pibgen_hardening_LDFLAGS " " link_text)
message(STATUS "Hardening (all but Debug): ${compile_text}; linking: ${link_text}")
foreach(flag ${pibgen_hardening_compile})
  add_compile_options($<$<NOT:$<CONFIG:Debug>>:${flag}>)
endforeach()
foreach(flag ${pibgen_hardening_LDFLAGS})
  add_link_options($<$<NOT:$<CONFIG:Debug>>:${flag}>)
endforeach()
