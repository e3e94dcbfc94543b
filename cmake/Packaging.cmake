# The Debian package: `make deb` runs cpack in the build folder. Besides the
# program, its module renderer, the menu entry and the icon (installed by
# src/) it carries the software centre's description, the license, the
# changelog and the manual page.
include(GNUInstallDirs)

install(FILES ${PROJECT_SOURCE_DIR}/data/io.github.kalvo2.Kalvo2.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/data/copyright DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/kalvo2)

# Debian wants the changelog and the manual page compressed to the highest
# level and without a time stamp, so the package comes out the same each time.
find_program(KALVO_GZIP gzip REQUIRED)
set(KALVO_DOC_DIR ${PROJECT_BINARY_DIR}/doc)
foreach(doc changelog kalvo2.1)
  add_custom_command(OUTPUT ${KALVO_DOC_DIR}/${doc}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${KALVO_DOC_DIR}
    COMMAND ${KALVO_GZIP} -9n -c ${PROJECT_SOURCE_DIR}/data/${doc} > ${KALVO_DOC_DIR}/${doc}.gz
    DEPENDS ${PROJECT_SOURCE_DIR}/data/${doc}
    VERBATIM)
endforeach()
add_custom_target(kalvo2-docs ALL DEPENDS ${KALVO_DOC_DIR}/changelog.gz ${KALVO_DOC_DIR}/kalvo2.1.gz)
install(FILES ${KALVO_DOC_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/kalvo2)
install(FILES ${KALVO_DOC_DIR}/kalvo2.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kalvo2)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The Kalvo2 developers <kalvo2@kalvo2.github.io>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "music player for remote controls that throws away songs with one key")
# The summary above is the first line; this is the text below it.
set(CPACK_PACKAGE_DESCRIPTION
  "Kalvo2 plays the audio files found under a set of folders as one song
list, in path order or in a stored random order, driven from a
presentation remote or the keyboard. One key moves the playing song into
the player's own trash folder, from which it can be restored. It plays
whatever the installed GStreamer decoders take (MP3, MIDI, WAV, ...) and
tracker modules through libmodplug.")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
# The programs go in stripped; their debug information goes into
# kalvo2-dbgsym (a .ddeb beside the .deb) under /usr/lib/debug/.build-id/,
# where addr2line finds it through the build id, so a crash report still
# names its source line once that package is installed.
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/DebugPackageFix.cmake)
# Libraries from dpkg-shlibdeps; GStreamer finds its plugins only at run
# time, so those are named here: playbin and the converters (base), the
# audio sinks, wav and mp3 (good), MIDI through fluidsynth (bad) with a
# General MIDI sound font.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-plugins-bad, gstreamer1.0-pulseaudio | gstreamer1.0-pipewire | gstreamer1.0-alsa, timgm6mb-soundfont | sf2-soundfont-gm")
# System-wide shortcuts and the inhibitions of suspend and idle go through
# the desktop portal where the desktop has one. The crash report names its
# source line through addr2line (binutils): recommended, not required, as
# the player runs without it and the report then says that it is missing.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
  "gstreamer1.0-libav, gstreamer1.0-plugins-ugly, xdg-desktop-portal, qt6-wayland, binutils")
include(CPack)
