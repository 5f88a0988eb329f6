#!/usr/bin/env bash
# orn-decode --full against tcpdump -nn -v -r over the same deterministic
# capture of about a million datagrams, each writing through a pipe (as a
# user's `| less` or `| grep` would), in turns within one run, best of
# ROUNDS each. Prints both rates, their processor times and the ratio (goal:
# orn-decode at least GOAL times as fast). Not a test: the figures depend on
# the machine, and a busy one spreads the wall times (the processor times
# vary less).
#   MKPCAP     the capture generator (default ../shared/bench/mkpcap.py
#              beside the project)
#   DATAGRAMS  datagrams in the capture (default 1000000)
#   SEED       generator seed (default 1)
#   ROUNDS     timed rounds per program (default 3)
#   GOAL       the ratio to reach (default 4.5)
#   BUILD      build directory holding orn-decode (default build)
set -euo pipefail
cd "$(dirname "$0")/.."
mkpcap=${MKPCAP:-../shared/bench/mkpcap.py}
datagrams=${DATAGRAMS:-1000000}
seed=${SEED:-1}
rounds=${ROUNDS:-3}
goal=${GOAL:-4.5}
decoder=${BUILD:-build}/orn-decode

[ -x "$decoder" ] || { echo "no $decoder: build first (cmake --build build)" >&2; exit 1; }
[ -f "$mkpcap" ] || { echo "no capture generator at $mkpcap (set MKPCAP)" >&2; exit 1; }
command -v tcpdump >/dev/null || { echo "tcpdump is not installed" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is not installed (Debian package time)" >&2; exit 1; }

work=$(mktemp -d /tmp/orn-bench-decode.XXXXXX)
trap 'rm -rf "$work"' EXIT
capture=$work/bench.pcap
echo "making $datagrams datagrams (seed $seed) ..."
python3 "$mkpcap" "$capture" "$datagrams" "$seed"
cat "$capture" >/dev/null  # both start from the page cache

# One timed run into a pipe: "wall user+sys" in seconds.
timed() {
  /usr/bin/time -f "%e %U %S" -o "$work/time" "$@" 2>/dev/null | cat >/dev/null
  awk '{ printf "%s %.2f\n", $1, $2 + $3 }' "$work/time"
}

# Best wall time and best processor time of each, the rounds taken in turns.
orn_wall=0 orn_cpu=0 dump_wall=0 dump_cpu=0
keep_least() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == 0 || b < a) ? b : a }'; }
for _ in $(seq "$rounds"); do
  read -r wall cpu < <(timed "$decoder" --full "$capture")
  orn_wall=$(keep_least "$orn_wall" "$wall") orn_cpu=$(keep_least "$orn_cpu" "$cpu")
  read -r wall cpu < <(timed tcpdump -nn -v -r "$capture")
  dump_wall=$(keep_least "$dump_wall" "$wall") dump_cpu=$(keep_least "$dump_cpu" "$cpu")
done

awk -v n="$datagrams" -v o="$orn_wall" -v t="$dump_wall" -v oc="$orn_cpu" -v tc="$dump_cpu" -v g="$goal" 'BEGIN {
  if (o <= 0) o = 0.01
  if (oc <= 0) oc = 0.01
  printf "%-20s %8s %14s %12s\n", "", "wall (s)", "datagrams/s", "cpu (s)"
  printf "%-20s %8.2f %14.0f %12.2f\n", "orn-decode --full", o, n / o, oc
  printf "%-20s %8.2f %14.0f %12.2f\n", "tcpdump -nn -v", t, n / t, tc
  printf "ratio: wall %.2f x, processor %.2f x (goal: at least %.1f x)\n", t / o, tc / oc, g
}'
