# The head both package tests share, read with `.` by a script called as
#   <script> <build folder> <version>
# Builds the Debian package of that built tree into a temporary folder that
# goes when the script ends; sets build, version, tmp and deb.
set -eu
build=$1
version=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1; then
  cat "$tmp/cpack.log"
  exit 1
fi
deb=$(ls "$tmp"/out/kalvo2_"$version"_*.deb)
