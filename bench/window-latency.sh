#!/usr/bin/env bash
# Event-loop latency of the main window while a capture run feeds it 100000
# accepted datagrams per second, and at full speed (bench-window-latency, on
# the offscreen platform). Prints p50/p99/max. Not a test.
#   DATAGRAMS  datagrams in the replayed capture (default 500000)
#   RATE       paced rate in datagrams per second (default 100000)
#   PASSES     times the file is read at full speed (default 4)
#   BUILD      build directory (default build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build}
[ -x "$build/bench-window-latency" ] || {
  echo "no $build/bench-window-latency: build with ORN_BENCH=ON and ORN_GUI=ON" >&2; exit 1; }
export QT_QPA_PLATFORM=offscreen
XDG_RUNTIME_DIR=$(mktemp -d /tmp/orn-bench-xdg.XXXXXX)
export XDG_RUNTIME_DIR
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
"$build/bench-window-latency" "${DATAGRAMS:-500000}" "${RATE:-100000}" "${PASSES:-4}" 2> >(grep -v "does not support" >&2)
