#!/usr/bin/env bash
# Builds CorvusRaiders (installing missing Debian packages) and starts the game.
# One line per step; the package manager's and the build's output go to
# build/setup.log, shown when a step fails.
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p build
export CORVUS_LOG="$PWD/build/setup.log"
: >"$CORVUS_LOG"
source scripts/deps.sh
corvus_step "Configuring build/" \
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DCORVUS_BUILD_TESTS=OFF -DCORVUS_BUILD_BENCH=OFF
corvus_step "Building" cmake --build build -j"$(nproc)"
echo "Starting build/bin/corvusraiders"
exec build/bin/corvusraiders "$@"
