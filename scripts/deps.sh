#!/usr/bin/env bash
# Installs the Debian 12 packages the build needs, only those that are missing.
# Sourced by play.sh and test.sh; uses sudo when not run as root.
set -euo pipefail
# The classic SDL 1.2 library, unless CORVUS_SDL_COMPAT=1 asks for SDL 1.2's
# interface over SDL 2 (libsdl1.2-compat-dev); installing either one replaces
# the other for every program on the machine (README: "Which SDL").
# The library asked for is installed with its runtime; the other one, when
# present, is removed in the same step (apt does not swap them by itself).
SDL_PACKAGES=(libsdl1.2-dev libsdl1.2debian)
SDL_OTHER=(libsdl1.2-compat-dev libsdl1.2-compat-shim)
if [ "${CORVUS_SDL_COMPAT:-0}" = 1 ]; then
  SDL_PACKAGES=(libsdl1.2-compat-dev libsdl1.2-compat-shim)
  SDL_OTHER=(libsdl1.2-dev libsdl1.2debian)
fi
# qt6-wayland: the game on a Wayland desktop as a native client; xvfb, xdotool
# and weston: the tests on real display servers.
CORVUS_PACKAGES=(build-essential cmake pkg-config qt6-base-dev qt6-qpa-plugins qt6-wayland
                 libgl-dev libx11-dev "${SDL_PACKAGES[@]}" libsdl-mixer1.2-dev libgtest-dev
                 libbenchmark-dev desktop-file-utils appstream file xvfb xdotool weston)
missing=()
for p in "${CORVUS_PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing missing packages: ${missing[*]}"
  remove=()
  for p in "${SDL_OTHER[@]}"; do
    if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      remove+=("$p-")
    fi
  done
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" "${remove[@]}"
fi
