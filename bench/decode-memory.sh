#!/usr/bin/env bash
# Peak resident memory of orn-decode --full --messages, as /usr/bin/time -v
# reports it, over captures of growing size: a command-line decoder streams,
# so the peak must not follow the file's size (goal: at most LIMIT_MIB). The
# captures are made on the fly and piped in (orn-decode reads "-" as standard
# input), so no big file is written. Not a test: it prints figures.
#   RUNS       "COUNTxSIZE ..." datagrams per run and bytes of each (default
#              "100000x64 1000000x64 20000x65000 200000x1500")
#   LIMIT_MIB  the goal (default 32)
#   BUILD      build directory holding orn-decode (default build)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-100000x64 1000000x64 20000x65000 200000x1500}
limit=${LIMIT_MIB:-32}
decoder=${BUILD:-build}/orn-decode
[ -x "$decoder" ] || { echo "no $decoder: build first (cmake --build build)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "/usr/bin/time is not installed (Debian package time)" >&2; exit 1; }

# A pcap of raw IPv4 (link type 101): UDP datagrams of exactly `size` bytes,
# each from its own source address so that no two are alike.
generate='
import struct, sys
count, size = int(sys.argv[1]), int(sys.argv[2])
out = sys.stdout.buffer
out.write(struct.pack("<IHHiIII", 0xA1B2C3D4, 2, 4, 0, 0, 65535, 101))
payload = bytes(range(256)) * (size // 256 + 1)
for i in range(count):
    ip = struct.pack("!BBHHHBBH4s4s", 0x45, 0, size, i & 0xFFFF, 0, 64, 17, 0,
                     bytes([10, (i >> 16) & 255, (i >> 8) & 255, i & 255]), bytes([10, 255, 0, 1]))
    udp = struct.pack("!HHHH", 40000, 9, size - 20, 0)
    frame = ip + udp + payload[: size - 28]
    out.write(struct.pack("<IIII", 1796508985 + i // 1000, 0, size, size) + frame)
'

printf "%-40s %14s %10s\n" "orn-decode --full --messages over" "peak RSS (KiB)" "goal"
worst=0
for run in $runs; do
  count=${run%x*} size=${run#*x}
  report=$(mktemp)
  python3 -c "$generate" "$count" "$size" |
    /usr/bin/time -v "$decoder" --full --messages - 2>"$report" | cat >/dev/null
  peak=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$report")
  rm -f "$report"
  verdict=met
  [ "$peak" -le $((limit * 1024)) ] || verdict=MISSED
  [ "$peak" -le "$worst" ] || worst=$peak
  printf "%-40s %14s %10s\n" "  $count datagrams of $size bytes" "$peak" "$verdict"
done
awk -v w="$worst" -v l="$limit" 'BEGIN { printf "highest peak %.1f MiB (goal: at most %d MiB whatever the size)\n", w / 1024, l }'
