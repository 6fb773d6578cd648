# The distribution's hardening for every optimised build on a machine that has
# dpkg-buildflags: what dpkg-buildflags states (fortify, stack protector,
# relro, bindnow), and the two protections Debian's current release adds to
# those (stack clash protection and, on x86, control-flow protection), which
# an older dpkg-buildflags does not name yet. Only the hardening flags are
# taken: the build type keeps its own optimisation and debug information. Left
# out under the sanitizers, which instrument the same calls.
option(CORVUS_HARDENING "Build with the distribution's hardening flags (dpkg-buildflags)" ON)
find_program(CORVUS_DPKG_BUILDFLAGS dpkg-buildflags)
if(CORVUS_HARDENING AND CORVUS_DPKG_BUILDFLAGS AND NOT CORVUS_SANITIZE)
  # bindnow is not on by default; a packager's own choice of features stands.
  set(maint_options "$ENV{DEB_BUILD_MAINT_OPTIONS}")
  if(maint_options STREQUAL "")
    set(maint_options "hardening=+all")
  endif()
  set(compile_flags "")
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=${maint_options}
              ${CORVUS_DPKG_BUILDFLAGS} --get ${kind}
      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags INCLUDE REGEX
         "^(-D_FORTIFY_SOURCE=|-fstack-protector|-fstack-clash-protection|-fcf-protection|-Wformat|-Werror=format-security|-Wl,-z,)")
    foreach(flag ${flags})
      # _FORTIFY_SOURCE needs the optimiser: not in Debug builds.
      if(kind STREQUAL "LDFLAGS")
        add_link_options("$<$<NOT:$<CONFIG:Debug>>:${flag}>")
      else()
        add_compile_options("$<$<NOT:$<CONFIG:Debug>>:${flag}>")
        list(APPEND compile_flags ${flag})
      endif()
    endforeach()
  endforeach()

  # Probes every page of a large stack frame, so no frame can jump past the
  # guard page; on x86, marks every indirect branch target and return (CET).
  # Each once, where the compiler takes it and dpkg-buildflags did not name it.
  include(CheckCXXCompilerFlag)
  include(CheckLinkerFlag)
  set(added -fstack-clash-protection)
  set(x86 FALSE)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|i[3-6]86|x86)$")
    set(x86 TRUE)
    list(APPEND added -fcf-protection)
  endif()
  foreach(flag ${added})
    set(named ${compile_flags})
    list(FILTER named INCLUDE REGEX "^${flag}(=|$)")
    string(MAKE_C_IDENTIFIER "CORVUS_CXX_HAS${flag}" supported)
    check_cxx_compiler_flag(${flag} ${supported})
    if(${supported} AND NOT named)
      add_compile_options("$<$<NOT:$<CONFIG:Debug>>:${flag}>")
    endif()
  endforeach()
  # The linker marks a program as protected only when every object in it is
  # marked, and the C library's start files of Debian 12 are not (those of
  # later releases are): the marking is asked for outright, as every object
  # of the game itself is compiled with the protection.
  if(x86 AND CORVUS_CXX_HAS_fcf_protection)
    check_linker_flag(CXX "-Wl,-z,ibt,-z,shstk" CORVUS_LD_HAS_CET_MARKING)
    if(CORVUS_LD_HAS_CET_MARKING)
      add_link_options("$<$<NOT:$<CONFIG:Debug>>:-Wl,-z,ibt,-z,shstk>")
    endif()
  endif()
endif()
