#!/usr/bin/env bash
# A bounded UDP burst at the highest rate a sender can offer, across a veth
# pair between two network namespaces made here (and always removed), captured
# at the same time by a capture run (bench-capture-burst, logging as the
# program does) and by tcpdump -nn -v, both on the receiving side. Both write
# their text to the same file system: the run its log files, tcpdump its
# output, into one directory. Prints the datagrams each received and the
# kernel's drops. Not a test. Needs root.
#   DATAGRAMS  datagrams in the burst (default 500000)
#   PAYLOAD    UDP payload bytes (default 64)
#   BUILD      build directory (default build)
#   LOG_PARENT where the output directory is made (default /tmp); a tmpfs
#              such as /dev/shm leaves the file system's cost out
#   MESSAGES   1 (default, as the program starts) logs each datagram's message
#              bytes too; 0 logs the decoded headers alone, as tcpdump -v prints
#   TCPDUMP_OUT where tcpdump's text goes (default: a file in the output
#              directory; /dev/null leaves tcpdump's writing out)
#   VIA        helper (default) captures through the capture helper, as the
#              program does; direct opens the capture in the run's process
set -euo pipefail
cd "$(dirname "$0")/.."
count=${DATAGRAMS:-500000}
payload=${PAYLOAD:-64}
messages=${MESSAGES:-1}
via=${VIA:-helper}
build=${BUILD:-build}
port=47999
for program in bench-capture-burst bench-udp-burst; do
  [ -x "$build/$program" ] || { echo "no $build/$program: build with ORN_BENCH=ON" >&2; exit 1; }
done
command -v tcpdump >/dev/null || { echo "tcpdump is not installed" >&2; exit 1; }
[ "$(id -u)" = 0 ] || { echo "needs root (network namespaces)" >&2; exit 1; }

a=ornbench-$$-a
b=ornbench-$$-b
net=10.202.$(( $$ % 250 + 1 ))
work=$(mktemp -d /tmp/orn-bench-burst.XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  ip netns del "$a" 2>/dev/null || true
  ip netns del "$b" 2>/dev/null || true
  rm -rf "$work" "${logs:-}"
}
trap cleanup EXIT

. scripts/lib/netns-pair.sh
make_netns_pair "$a" "$b" "$net"
# The neighbour known before the burst, so that none of it waits for ARP.
mac=$(ip netns exec "$a" cat /sys/class/net/va/address)
ip -n "$b" neigh replace "$net.1" lladdr "$mac" dev vb nud permanent

logs=$(mktemp -d "${LOG_PARENT:-/tmp}/orn-bench-burst-log.XXXXXX")
ip netns exec "$a" "$build/bench-capture-burst" "$logs" "$port" "$messages" "$via" >"$work/run.out" 2>"$work/run.err" &
pids+=($!)
run_pid=$!
ip netns exec "$a" tcpdump -i va -nn -v >"${TCPDUMP_OUT:-$logs/tcpdump.txt}" 2>"$work/tcpdump.err" &
pids+=($!)
dump_pid=$!
for _ in $(seq 50); do
  grep -q "listening on" "$work/tcpdump.err" 2>/dev/null && break
  sleep 0.1
done
sleep 1  # the run's capture is up

ip netns exec "$b" "$build/bench-udp-burst" "$net.1" "$port" "$count" "$payload"
sleep 3  # both drain what the kernel holds

kill -INT "$dump_pid" "$run_pid"
wait "$dump_pid" || true
wait "$run_pid" || true
pids=()

read -r _ run_received _ run_dropped _ < "$work/run.out" || { cat "$work/run.err" >&2; exit 1; }
dump_received=$(awk '/packets captured/ {print $1}' "$work/tcpdump.err")
dump_dropped=$(awk '/dropped by kernel/ {print $1}' "$work/tcpdump.err")
printf "%-22s %10s %10s\n" "" received dropped
printf "%-22s %10s %10s\n" "capture run ($via)" "$run_received" "$run_dropped"
printf "%-22s %10s %10s\n" "tcpdump -nn -v" "$dump_received" "$dump_dropped"
echo "($(cat "$work/run.out"); messages $messages; written: run $(du -sm --exclude=tcpdump.txt "$logs" | cut -f1) MB, tcpdump $(du -m "${TCPDUMP_OUT:-$logs/tcpdump.txt}" 2>/dev/null | cut -f1) MB)"
