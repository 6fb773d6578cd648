#!/usr/bin/env bash
# Builds CorvusRaiders (installing missing Debian packages) and starts the game.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DCORVUS_BUILD_TESTS=OFF -DCORVUS_BUILD_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)"
exec build/bin/corvusraiders "$@"
