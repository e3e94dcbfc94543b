#!/bin/sh
# Builds the Debian package from a built tree and runs Debian's package
# checker on it and on its debug package: no error and no warning.
#   lintian-test.sh <build folder> <version>
. "$(dirname "$0")/build-package.sh"
ddeb=$(ls "$tmp"/out/kalvo2-dbgsym_"$version"_*.ddeb)

# The programs go stripped, their debug information in the debug package
# under the build id, which is how addr2line finds it for the crash report.
dpkg-deb -x "$deb" "$tmp/root"
dpkg-deb -x "$ddeb" "$tmp/dbg"
for f in usr/bin/kalvo2 usr/libexec/kalvo2/kalvo2-modrender; do
  info=$(file -b "$tmp/root/$f")
  case "$info" in
    *"not stripped"*) echo "$f is not stripped: $info"; exit 1 ;;
  esac
  id=$(readelf -n "$tmp/root/$f" | sed -n 's/.*Build ID: *\([0-9a-f]*\).*/\1/p')
  debug="$tmp/dbg/usr/lib/debug/.build-id/$(echo "$id" | cut -c1-2)/$(echo "$id" | cut -c3-).debug"
  [ -n "$id" ] && [ -f "$debug" ] || { echo "no debug file for $f (build id '$id')"; ls -R "$tmp/dbg"; exit 1; }
done
# The debug file names a source line for the program's main().
bin_id=$(readelf -n "$tmp/root/usr/bin/kalvo2" | sed -n 's/.*Build ID: *\([0-9a-f]*\).*/\1/p')
bin_debug="$tmp/dbg/usr/lib/debug/.build-id/$(echo "$bin_id" | cut -c1-2)/$(echo "$bin_id" | cut -c3-).debug"
addr=$(nm "$bin_debug" | awk '$3 == "main" { print $1 }')
line=$(addr2line -e "$bin_debug" "0x$addr")
case "$line" in
  *main.cpp:[0-9]*) ;;
  *) echo "the debug file resolves main to '$line'"; exit 1 ;;
esac

# Debian's hardening, as the build flags give it: immediate binding with
# read-only relocations, a position-independent program, the stack
# protector's check and the fortified functions' _chk variants.
for f in usr/bin/kalvo2 usr/libexec/kalvo2/kalvo2-modrender; do
  elf="$tmp/root/$f"
  dynamic=$(readelf -d "$elf")
  imports=$(readelf --dyn-syms -W "$elf" | awk '$7 == "UND" { print $8 }')
  missing=""
  echo "$dynamic" | grep -Eq 'FLAGS.*BIND_NOW|FLAGS_1.*NOW' || missing="$missing BIND_NOW"
  readelf -lW "$elf" | grep -q GNU_RELRO || missing="$missing RELRO"
  readelf -hW "$elf" | grep -q 'Type: *DYN' && echo "$dynamic" | grep -q 'FLAGS_1.*PIE' || missing="$missing PIE"
  echo "$imports" | grep -q '^__stack_chk_fail' || missing="$missing stack-protector"
  echo "$imports" | grep -Eq '^__[a-z0-9_]+_chk(@|$)' || missing="$missing fortify"
  echo "$f: fortified:" $(echo "$imports" | sed -n 's/^\(__[a-z0-9_]*_chk\)\(@.*\)\{0,1\}$/\1/p' | sort -u)
  [ -z "$missing" ] || { echo "$f lacks:$missing"; exit 1; }
done

status=0
lintian --fail-on error,warning --tag-display-limit 0 "$deb" "$ddeb" >"$tmp/lintian.log" 2>&1 || status=$?
grep -v "running with root privileges" "$tmp/lintian.log" || true
exit $status
