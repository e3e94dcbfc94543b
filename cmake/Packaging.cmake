# The Debian package: `make deb` runs cpack in the build folder. Besides the
# program, its module renderer, the menu entry and the icon (installed by
# src/) it carries the software centre's description and the license.
include(GNUInstallDirs)

install(FILES ${PROJECT_SOURCE_DIR}/data/io.github.kalvo2.Kalvo2.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/data/copyright DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/kalvo2)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kalvo2)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The Kalvo2 developers <kalvo2@localhost>")
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
# Libraries from dpkg-shlibdeps; GStreamer finds its plugins only at run
# time, so those are named here: playbin and the converters (base), the
# audio sinks, wav and mp3 (good), MIDI through fluidsynth (bad) with a
# General MIDI sound font.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-plugins-bad, gstreamer1.0-pulseaudio | gstreamer1.0-pipewire | gstreamer1.0-alsa, timgm6mb-soundfont | sf2-soundfont-gm")
# System-wide shortcuts and the inhibitions of suspend and idle go through
# the desktop portal where the desktop has one.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gstreamer1.0-libav, gstreamer1.0-plugins-ugly, xdg-desktop-portal, qt6-wayland")
include(CPack)
