#!/bin/sh
# Runs the desktop's validators on the desktop entry ($1) and the metainfo
# ($2). Exit status 77 (skipped) when neither validator is installed.
set -u
ran=0 failed=0
if command -v desktop-file-validate >/dev/null 2>&1; then
  ran=1
  desktop-file-validate "$1" || failed=1
fi
if command -v appstreamcli >/dev/null 2>&1; then
  ran=1
  appstreamcli validate --no-net "$2" || failed=1
fi
[ "$ran" -eq 1 ] || { echo "no validator installed"; exit 77; }
exit "$failed"
