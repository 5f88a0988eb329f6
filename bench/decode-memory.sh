#!/usr/bin/env bash
# Peak resident memory of orn-decode --messages over DATAGRAMS generated UDP
# datagrams of SIZE bytes, beside the same run over 64-byte datagrams, as
# /usr/bin/time -v reports it. The capture is made on the fly and piped in
# (orn-decode reads "-" as standard input), so no big file is written. Not a
# test: it prints figures.
#   DATAGRAMS  datagrams per run (default 20000)
#   SIZE       bytes of each datagram of the big run (default 65000, at most 65535)
#   BUILD      build directory holding orn-decode (default build)
set -euo pipefail
cd "$(dirname "$0")/.."
datagrams=${DATAGRAMS:-20000}
size=${SIZE:-65000}
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

peak() {
  local report
  report=$(mktemp)
  python3 -c "$generate" "$datagrams" "$1" | /usr/bin/time -v "$decoder" --messages - >/dev/null 2>"$report"
  awk -F': ' '/Maximum resident set size/ {print $2}' "$report"
  rm -f "$report"
}

big=$(peak "$size")
small=$(peak 64)
printf "%-34s %14s\n" "orn-decode --messages, $datagrams of" "peak RSS (KiB)"
printf "%-34s %14s\n" "  $size-byte datagrams" "$big"
printf "%-34s %14s\n" "  64-byte datagrams" "$small"
awk -v b="$big" -v s="$small" 'BEGIN { printf "ratio %.2f; big run %.1f MiB\n", b / s, b / 1024 }'
