#!/usr/bin/env python3
"""orn-decode.exe -w against the Linux orn-decode -w: every golden capture
turned into pcapng by both must give the same bytes.

  same_pcapng.py LINUX_ORN_DECODE WINDOWS_ORN_DECODE
"""

import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "decode", "golden"))
import captures  # noqa: E402


def written(program, capture, out):
    p = subprocess.run([program, "-w", out, capture], capture_output=True, timeout=120,
                       env=dict(os.environ, TZ="UTC", LC_ALL="C"))
    if not os.path.exists(out):
        sys.stderr.write("%s wrote no %s (status %d): %s" % (program, out, p.returncode, p.stderr.decode()))
        return None
    with open(out, "rb") as f:
        return f.read()


def main(linux, windows):
    failed = 0
    with tempfile.TemporaryDirectory(prefix="orn-pcapng.") as scratch:
        for name in captures.CAPTURES:
            capture = os.path.join(scratch, name + ".pcap")
            with open(capture, "wb") as f:
                f.write(captures.pcap(name))
            want = written(linux, capture, os.path.join(scratch, name + ".linux.pcapng"))
            got = written(windows, capture, os.path.join(scratch, name + ".windows.pcapng"))
            if want is None or got is None or want != got:
                failed += 1
                at = next((i for i, (a, b) in enumerate(zip(want or b"", got or b"")) if a != b),
                          min(len(want or b""), len(got or b"")))
                sys.stderr.write("%s: the pcapng files differ from byte %d\n" % (name, at))
    print("%d captures, %d differ" % (len(captures.CAPTURES), failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))
