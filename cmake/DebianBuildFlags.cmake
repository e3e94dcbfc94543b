# The package build (preset "deb", `make deb`) and the test build (preset
# "default", whose package the package tests check) take the compiler and
# linker flags Debian builds its packages with (dpkg-buildflags, every
# hardening feature on: fortified functions, stack protector, PIE, full RELRO
# with immediate binding), so the package holds what Debian's own checks
# expect and the tests run the programs that ship. The sanitizer and fuzz
# builds (Debug) keep their own flags.
option(KALVO_DEB_BUILDFLAGS "Add the flags of dpkg-buildflags to release builds" OFF)
find_program(KALVO_DPKG_BUILDFLAGS dpkg-buildflags)
if(KALVO_DEB_BUILDFLAGS AND KALVO_DPKG_BUILDFLAGS AND CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo)$")
  function(kalvo_deb_flag name out)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                            ${KALVO_DPKG_BUILDFLAGS} --get ${name}
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE)
    set(${out} "${flags}" PARENT_SCOPE)
  endfunction()
  kalvo_deb_flag(CPPFLAGS deb_cppflags)
  kalvo_deb_flag(CFLAGS deb_cflags)
  kalvo_deb_flag(CXXFLAGS deb_cxxflags)
  kalvo_deb_flag(LDFLAGS deb_ldflags)
  # Appended, so they come after the build type's own -O and -g.
  string(APPEND CMAKE_C_FLAGS " ${deb_cppflags} ${deb_cflags}")
  string(APPEND CMAKE_CXX_FLAGS " ${deb_cppflags} ${deb_cxxflags}")
  string(APPEND CMAKE_EXE_LINKER_FLAGS " ${deb_ldflags}")
  string(APPEND CMAKE_SHARED_LINKER_FLAGS " ${deb_ldflags}")
  message(STATUS "Debian build flags: ${deb_cppflags} ${deb_cxxflags} ${deb_ldflags}")
endif()
