#!/bin/sh
# On a fresh X server: a press and drag on the window's surface or on a label
# moves the host browser window by the drag, a drag on a button does not.
#   skin_drag_x11.sh SAMPLE_PROGRAM
# Exits 77 (skipped) only when Xvfb or xdotool is not installed.
set -eu
if [ "${1:-}" != --inside ]; then
  for tool in Xvfb xdotool; do
    if ! command -v $tool >/dev/null 2>&1; then
      echo "$tool is not installed; skipping"
      exit 77
    fi
  done
  exec "$(dirname "$0")/xvfb.sh" "-screen 0 640x480x24" "$0" --inside "$1"
fi
sample=$2
QT_QPA_PLATFORM=xcb "$sample" 134 &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
wid=""
for i in $(seq 1 50); do
  wid=$(xdotool search --onlyvisible --pid $pid 2>/dev/null | tail -n 1 || true)
  [ -n "$wid" ] && break
  sleep 0.1
done
[ -n "$wid" ] || { echo "the window did not appear"; exit 1; }
sleep 0.5

position() { xdotool getwindowgeometry "$wid" | sed -n 's/.*Position: \([0-9]*\),\([0-9]*\).*/\1 \2/p'; }
# drag X Y DX DY: press at window point (X, Y), move by (DX, DY), let go.
drag() {
  set -- $(position) "$@"
  xdotool mousemove $(($1 + $3)) $(($2 + $4)) sleep 0.1 mousedown 1 sleep 0.1 \
          mousemove $(($1 + $3 + $5 / 2)) $(($2 + $4 + $6 / 2)) sleep 0.1 \
          mousemove $(($1 + $3 + $5)) $(($2 + $4 + $6)) sleep 0.1 mouseup 1 sleep 0.3
}
expect() {
  at=$(position)
  if [ "$at" != "$1" ]; then echo "$2: window at $at, expected $1"; exit 1; fi
  echo "$2: window at $at"
}

expect "40 40" "opened"
drag 150 15 60 40          # the title strip
expect "100 80" "drag on the surface"
drag 30 45 -30 10          # the "IP Address:" label
expect "70 90" "drag on a label"
drag 140 190 50 0          # the Help button
expect "70 90" "drag on a button"
echo "ok"
