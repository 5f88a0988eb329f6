#!/bin/sh
# Shows a sample window on a fresh X server with a white root window, saves
# the screen and checks that the mask cut the window's corners.
#   skin_screenshot.sh SAMPLE_PROGRAM OUTPUT.png [TEMPLATE [--hex]]
# The template is the main window's (102) unless given.
# Exits 77 (skipped) only when Xvfb is not installed.
set -eu
program=$1 shot=$2
shift 2
template=${1:-102}
[ $# -gt 0 ] && shift
exec "$(dirname "$0")/xvfb.sh" "-screen 0 640x480x24 -wr" \
  env QT_QPA_PLATFORM=xcb "$program" "$template" "$@" --shot "$shot"
