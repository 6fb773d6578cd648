#!/usr/bin/env bash
# Instructions per frame of each kind, counted by callgrind: the difference
# between a run of N frames and a run of none, divided by N (the set-up, with
# the picture loading, cancels out).
# Usage: bench/callgrind.sh [build-dir] [frames]
set -euo pipefail
build=${1:-build}
n=${2:-200}
bench="$build/bin/corvus_bench"
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
count() {
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "$bench" --count "$1" "$2" 2>&1 |
        sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
}
base=$(count memcpy 0)
printf '%-10s %14s\n' kind instructions/frame
for kind in memcpy level1 busy menu pause present0 present1 present3 restore; do
    total=$(count "$kind" "$n")
    printf '%-10s %14d\n' "$kind" $(( (total - base) / n ))
done
