#!/usr/bin/env bash
# Installs the Debian 12 packages the build needs, only those that are missing.
# Sourced by play.sh and test.sh (which also use its corvus_step), or run on
# its own. Uses sudo when not run as root; with neither, prints the one command
# to run as root and exits with status 3. The package manager's output goes to
# the log file $CORVUS_LOG (a new temporary file when unset), shown on failure.
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
# and weston: the tests on real display servers; lintian and devscripts (its
# hardening-check): the package checks.
CORVUS_PACKAGES=(build-essential cmake pkg-config qt6-base-dev qt6-qpa-plugins qt6-wayland
                 libgl-dev libx11-dev "${SDL_PACKAGES[@]}" libsdl-mixer1.2-dev libgtest-dev
                 libbenchmark-dev desktop-file-utils appstream file lintian devscripts xvfb xdotool weston)

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
  remove=()
  for p in "${SDL_OTHER[@]}"; do
    if installed "$p"; then remove+=("$p-"); fi
  done
  SUDO=()
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
      echo "Missing Debian packages: ${missing[*]}" >&2
      echo "Neither root nor sudo: run this line as root (for example after su -), then this script again:" >&2
      echo "  apt-get update && apt-get install -y ${missing[*]}${remove:+ ${remove[*]}}" >&2
      exit 3
    fi
    SUDO=(sudo)
  fi
  : "${CORVUS_LOG:=$(mktemp "${TMPDIR:-/tmp}/corvusraiders-setup.XXXXXX")}"
  # Waits for another package manager (an automatic update) instead of failing.
  apt=("${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300)
  apt_install() { "${apt[@]}" update && "${apt[@]}" install -y "$@"; }
  corvus_step "Installing ${missing[*]}${remove:+ (removing ${remove[*]%-})}" \
    apt_install "${missing[@]}" "${remove[@]}"
fi
