#!/usr/bin/env bash
# Installs the Debian 12 packages the build needs, only those that are missing.
# Sourced by play.sh and test.sh (which also use its corvus_step), or run on
# its own. Uses sudo when not run as root; with neither, prints the one command
# to run as root and exits with status 3. The package manager's output goes to
# the log file $CORVUS_LOG (a new temporary file when unset), shown on failure.
set -euo pipefail
# SDL 2 and SDL2_mixer: sound and gamepads; qt6-wayland: the game on a
# Wayland desktop as a native client; xvfb, xdotool and weston: the tests on
# real display servers; lintian and devscripts (its hardening-check): the
# package checks.
CORVUS_PACKAGES=(build-essential cmake pkg-config qt6-base-dev qt6-qpa-plugins qt6-wayland
                 libgl-dev libx11-dev libsdl2-dev libsdl2-mixer-dev libgtest-dev
                 libbenchmark-dev desktop-file-utils appstream file lintian devscripts xvfb xdotool
                 weston)

# Runs "$@" with its output in the log under a one-line title; when it fails,
# shows the end of the log and where the whole of it is, and stops.
corvus_step() {
  local title=$1
  shift
  echo "$title"
  if ! "$@" >>"$CORVUS_LOG" 2>&1; then
    echo "Failed: $title. The end of $CORVUS_LOG:" >&2
    tail -n 30 "$CORVUS_LOG" >&2
    echo "The whole output is in $CORVUS_LOG" >&2
    exit 1
  fi
}

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

missing=()
for p in "${CORVUS_PACKAGES[@]}"; do
  installed "$p" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=()
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
      echo "Missing Debian packages: ${missing[*]}" >&2
      echo "Neither root nor sudo: run this line as root (for example after su -), then this script again:" >&2
      echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
      exit 3
    fi
    SUDO=(sudo)
  fi
  : "${CORVUS_LOG:=$(mktemp "${TMPDIR:-/tmp}/corvusraiders-setup.XXXXXX")}"
  # Waits for another package manager (an automatic update) instead of failing.
  apt=("${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300)
  apt_install() { "${apt[@]}" update && "${apt[@]}" install -y "$@"; }
  corvus_step "Installing ${missing[*]}" apt_install "${missing[@]}"
fi
