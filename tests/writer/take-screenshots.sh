#!/usr/bin/env bash
# Takes the wizard's pictures for docs/ under a private Xvfb display.
#   tests/writer/take-screenshots.sh BUILD_DIR [OUTPUT_DIR]
set -euo pipefail
build=${1:?build folder}
out=${2:-$(dirname "$0")/../../docs}
display=:99
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -S /tmp/.X11-unix/X${display#:} ] && break; sleep 0.1; done
DISPLAY=$display QT_QPA_PLATFORM=xcb "$build/bin/writer_screenshots" "$out"
