#!/usr/bin/env bash
# orn-decode --full against tcpdump -nn -v over the same deterministic capture
# of about a million datagrams, output to /dev/null, best of 3 each. Prints
# both rates and their ratio. Not a test: the figures depend on the machine.
#   MKPCAP     the capture generator (default ../shared/bench/mkpcap.py
#              beside the project)
#   DATAGRAMS  datagrams in the capture (default 1000000)
#   SEED       generator seed (default 1)
#   ROUNDS     timed rounds per program (default 3)
#   BUILD      build directory holding orn-decode (default build)
set -euo pipefail
cd "$(dirname "$0")/.."
mkpcap=${MKPCAP:-../shared/bench/mkpcap.py}
datagrams=${DATAGRAMS:-1000000}
seed=${SEED:-1}
rounds=${ROUNDS:-3}
decoder=${BUILD:-build}/orn-decode

[ -x "$decoder" ] || { echo "no $decoder: build first (cmake --build build)" >&2; exit 1; }
[ -f "$mkpcap" ] || { echo "no capture generator at $mkpcap (set MKPCAP)" >&2; exit 1; }
command -v tcpdump >/dev/null || { echo "tcpdump is not installed" >&2; exit 1; }

work=$(mktemp -d /tmp/orn-bench-decode.XXXXXX)
trap 'rm -rf "$work"' EXIT
capture=$work/bench.pcap
echo "making $datagrams datagrams (seed $seed) ..."
python3 "$mkpcap" "$capture" "$datagrams" "$seed"

# Best wall time of the rounds, in nanoseconds.
best() {
  local best_ns=0 start end
  for _ in $(seq "$rounds"); do
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    if [ "$best_ns" -eq 0 ] || [ $((end - start)) -lt "$best_ns" ]; then best_ns=$((end - start)); fi
  done
  echo "$best_ns"
}

orn=$(best "$decoder" --full "$capture")
dump=$(best tcpdump -nn -v -r "$capture")
awk -v n="$datagrams" -v o="$orn" -v t="$dump" 'BEGIN {
  o /= 1e9; t /= 1e9
  printf "orn-decode --full   %8.3f s  %10.0f datagrams/s\n", o, n / o
  printf "tcpdump -nn -v      %8.3f s  %10.0f datagrams/s\n", t, n / t
  printf "ratio               %8.2f x  (target: at least 3)\n", t / o
}'
