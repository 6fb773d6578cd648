#!/usr/bin/env bash
# Installs the Debian 12 packages the build needs, only those that are missing.
# Sourced by play.sh and test.sh; uses sudo when not run as root.
set -euo pipefail
# SDL 1.2 comes as its interface over SDL 2 (libsdl1.2-compat-dev) unless
# CORVUS_CLASSIC_SDL=1 asks for the classic library; installing either one
# replaces the other (README: "Which SDL").
SDL_DEV=libsdl1.2-compat-dev
[ "${CORVUS_CLASSIC_SDL:-0}" != 1 ] || SDL_DEV=libsdl1.2-dev
CORVUS_PACKAGES=(build-essential cmake pkg-config qt6-base-dev qt6-qpa-plugins libgl-dev
                 "$SDL_DEV" libsdl-mixer1.2-dev libgtest-dev libbenchmark-dev
                 desktop-file-utils appstream file)
missing=()
for p in "${CORVUS_PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing missing packages: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
