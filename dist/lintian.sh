#!/bin/sh
# Packs the build tree $1 as the Debian package with cpack ($2), judges it with
# lintian (no error, no warning), checks that it depends on SDL 2 and
# SDL2_mixer, checks that the packed game has every hardening protection
# where hardening-check (devscripts) is installed, and starts the packed game
# from its /usr/games folder to see that it finds its data there. Exit status 77
# (skipped) where lintian or dpkg-deb is not installed.
set -u
for tool in lintian dpkg-deb; do
  command -v "$tool" >/dev/null 2>&1 || { echo "$tool is not installed"; exit 77; }
done
out=$(mktemp -d) || exit 1
trap 'rm -rf "$out"' EXIT
"$2" -G DEB --config "$1/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 ||
  { cat "$out/cpack.log"; exit 1; }
deb=$(ls "$out"/*.deb) || exit 1
lintian --fail-on error,warning --pedantic -I "$deb" || exit 1
# Sound and pads come from SDL 2 and SDL2_mixer, as dpkg-shlibdeps read them
# off the game, and never from SDL 1.2.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
echo "$depends" | grep -q 'libsdl2-2\.0-0' && echo "$depends" | grep -q 'libsdl2-mixer-2\.0-0' &&
  ! echo "$depends" | grep -q 'libsdl1\.2\|libsdl-mixer1\.2' || exit 1
# Found its data: still on the title screen after three seconds.
dpkg-deb -x "$deb" "$out/root" || exit 1
# Control-flow protection exists on x86 only.
if command -v hardening-check >/dev/null 2>&1; then
  case $(dpkg --print-architecture) in
    amd64 | i386) cfi= ;;
    *) cfi=--nocfprotection ;;
  esac
  hardening-check $cfi "$out/root/usr/games/corvusraiders" || exit 1
fi
XDG_CONFIG_HOME="$out" timeout 3 "$out/root/usr/games/corvusraiders" 2>"$out/err"
status=$?
cat "$out/err"
[ "$status" -eq 124 ] && ! grep -q "Could not read" "$out/err"
