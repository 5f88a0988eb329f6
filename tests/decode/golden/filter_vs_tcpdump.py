#!/usr/bin/env python3
"""orn-decode -F EXPR against tcpdump -r FILE EXPR on the golden captures.

  filter_vs_tcpdump.py ORN_DECODE

For each capture and expression, tcpdump's matching frames are written to a
capture that orn-decode turns into raw IPv4 pcapng; orn-decode -F EXPR -w
over the original must write the same file byte for byte (the same
datagrams, the same times). The captures are those whose frames tcpdump
reads as plain IPv4, so that the same expression means the same there: -F
sees the datagram itself, so it also matches one behind a VLAN tag in a
cooked frame, or a loopback frame of the other byte order, where tcpdump's
expression would need more.
Exits 77 (skipped) without tcpdump.
"""

import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import captures  # noqa: E402

CAPTURES = ["ip", "tcp", "udp", "icmp", "filters", "sctp", "link-raw"]
EXPRESSIONS = [
    "tcp", "udp port 53", "icmp", "host %s" % captures.A, "src host %s and tcp port 80" % captures.A,
    "net 10.0.0.0/8 and not dst host %s" % captures.B, "tcp[tcpflags] & tcp-syn != 0",
    "ip[1] & 0xfc != 0", "ip[6:2] & 0x1fff != 0", "ip proto 132 or ip proto 47", "portrange 20-25",
]


def main(argv):
    if len(argv) != 1:
        print(__doc__, file=sys.stderr)
        return 2
    orn = os.path.abspath(argv[0])
    if not shutil.which("tcpdump"):
        print("tcpdump is not installed", file=sys.stderr)
        return 77
    failures = 0
    compared = matched = 0
    with tempfile.TemporaryDirectory(prefix="orn-filter.") as scratch:
        path = lambda name: os.path.join(scratch, name)  # noqa: E731
        for name in CAPTURES:
            capture = path(name + ".pcap")
            with open(capture, "wb") as f:
                f.write(captures.pcap(name))
            for expression in EXPRESSIONS:
                for f in ("tcpdump.pcap", "theirs.pcapng", "ours.pcapng"):
                    if os.path.exists(path(f)):
                        os.remove(path(f))
                subprocess.run(["tcpdump", "-r", capture, "-w", path("tcpdump.pcap"), expression],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
                subprocess.run([orn, "-w", path("theirs.pcapng"), path("tcpdump.pcap")], check=False)
                subprocess.run([orn, "-F", expression, "-w", path("ours.pcapng"), capture], check=False)
                theirs = open(path("theirs.pcapng"), "rb").read()
                ours = open(path("ours.pcapng"), "rb").read()
                compared += 1
                matched += len(theirs) > 200  # more than the section and interface blocks
                if theirs != ours:
                    failures += 1
                    print("%s, %r: orn-decode -F wrote %d bytes, tcpdump's datagrams %d"
                          % (name, expression, len(ours), len(theirs)))
        # A filter that does not compile is a usage error with libpcap's message.
        p = subprocess.run([orn, "-F", "tcp port http-nonsense", capture], capture_output=True, text=True)
        if p.returncode != 2 or "-F: " not in p.stderr or "unknown port" not in p.stderr:
            failures += 1
            print("a filter that does not compile: status %d, %r" % (p.returncode, p.stderr))
    print("%d cases, %d with datagrams; %d differ" % (compared, matched, failures))
    return 1 if failures or matched < len(CAPTURES) * 2 else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
