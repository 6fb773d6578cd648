# The distribution's hardening, as dpkg-buildflags states it (fortify, stack
# protector, relro, bindnow), for every optimised build on a machine that has
# dpkg-buildflags. Only the hardening flags are taken: the build type keeps
# its own optimisation and debug information. Left out under the sanitizers,
# which instrument the same calls.
option(CORVUS_HARDENING "Build with the distribution's hardening flags (dpkg-buildflags)" ON)
find_program(CORVUS_DPKG_BUILDFLAGS dpkg-buildflags)
if(CORVUS_HARDENING AND CORVUS_DPKG_BUILDFLAGS AND NOT CORVUS_SANITIZE)
  # bindnow is not on by default; a packager's own choice of features stands.
  set(maint_options "$ENV{DEB_BUILD_MAINT_OPTIONS}")
  if(maint_options STREQUAL "")
    set(maint_options "hardening=+all")
  endif()
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
      endif()
    endforeach()
  endforeach()
endif()
