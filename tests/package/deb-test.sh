#!/bin/sh
# Builds the Debian package from a built tree, lists it, unpacks it into a
# temporary folder and runs the unpacked program from there.
#   deb-test.sh <build folder> <version>
. "$(dirname "$0")/build-package.sh"

dpkg-deb -c "$deb" >"$tmp/list"
for f in usr/bin/kalvo2 usr/libexec/kalvo2/kalvo2-modrender usr/share/applications/io.github.kalvo2.Kalvo2.desktop \
         usr/share/icons/hicolor/scalable/apps/kalvo2.svg \
         usr/share/metainfo/io.github.kalvo2.Kalvo2.metainfo.xml usr/share/doc/kalvo2/copyright; do
  if ! grep -q " \./$f\$" "$tmp/list"; then
    echo "not in the package: $f"
    cat "$tmp/list"
    exit 1
  fi
done

# Libraries found by dpkg-shlibdeps, run-time plugins and the sound font named by hand.
depends=$(dpkg-deb -f "$deb" Depends)
for p in libqt6widgets6 libgstreamer1.0-0 libmodplug1 gstreamer1.0-plugins-good gstreamer1.0-plugins-bad \
         timgm6mb-soundfont; do
  case "$depends" in
    *"$p"*) ;;
    *) echo "Depends lacks $p: $depends"; exit 1 ;;
  esac
done

dpkg-deb -x "$deb" "$tmp/root"
[ -x "$tmp/root/usr/bin/../libexec/kalvo2/kalvo2-modrender" ] || { echo "renderer not beside the program"; exit 1; }
out=$(cd / && QT_QPA_PLATFORM=offscreen "$tmp/root/usr/bin/kalvo2" --version)
echo "$out"
case "$out" in
  *"Kalvo2 $version"*) ;;
  *) echo "unexpected version text"; exit 1 ;;
esac
