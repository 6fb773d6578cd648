#!/usr/bin/env bash
# Builds CorvusRaiders with its tests (installing missing Debian packages) and
# runs the whole suite headless. One line per step; the package manager's and
# the build's output go to build-test/setup.log, shown when a step fails.
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p build-test
export CORVUS_LOG="$PWD/build-test/setup.log"
: >"$CORVUS_LOG"
source scripts/deps.sh
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
corvus_step "Configuring build-test/" cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo
corvus_step "Building" cmake --build build-test -j"$(nproc)"
echo "Testing"
ctest --test-dir build-test --output-on-failure -j"$(nproc)"
