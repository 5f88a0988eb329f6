#!/bin/sh
# Shows the sample main window on a fresh X server with a white root window,
# saves the screen and checks that the mask cut the window's corners.
#   skin_screenshot.sh SAMPLE_PROGRAM OUTPUT.png
# Exits 77 (skipped) only when xvfb-run is not installed.
set -eu
if ! command -v xvfb-run >/dev/null 2>&1; then
  echo "xvfb-run is not installed; skipping the screenshot"
  exit 77
fi
exec xvfb-run -a -s "-screen 0 640x480x24 -wr" env QT_QPA_PLATFORM=xcb "$1" 102 --shot "$2"
