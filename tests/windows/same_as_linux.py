#!/usr/bin/env python3
"""orn-decode.exe against the Linux orn-decode: every golden capture turned
into pcapng (-w) and into rotating log files (-o, full with messages) by both
must give the same files, byte for byte.

  same_as_linux.py LINUX_ORN_DECODE WINDOWS_ORN_DECODE
"""

import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "decode", "golden"))
import captures  # noqa: E402


def outputs(program, capture, out):
    """{file name: bytes} that program wrote for capture under out/."""
    os.mkdir(out)
    for args in (["-w", os.path.join(out, "capture.pcapng")], ["--full", "--messages", "-o", os.path.join(out, "log")]):
        p = subprocess.run([program] + args + [capture], capture_output=True, timeout=120,
                           env=dict(os.environ, TZ="UTC", LC_ALL="C"))
        if p.returncode != 0:
            sys.stderr.write("%s %s: status %d: %s" % (program, " ".join(args), p.returncode, p.stderr.decode()))
    return tree(out)


def tree(top):
    """{path relative to top: bytes} of every file below top."""
    files = {}
    for root, _, names in os.walk(top):
        for name in names:
            with open(os.path.join(root, name), "rb") as f:
                files[os.path.relpath(os.path.join(root, name), top)] = f.read()
    return files


def main(linux, windows):
    failed = 0
    with tempfile.TemporaryDirectory(prefix="orn-same.") as scratch:
        for name in captures.CAPTURES:
            capture = os.path.join(scratch, name + ".pcap")
            with open(capture, "wb") as f:
                f.write(captures.pcap(name))
            want = outputs(linux, capture, os.path.join(scratch, name + ".linux"))
            got = outputs(windows, capture, os.path.join(scratch, name + ".windows"))
            if not want or want != got:
                failed += 1
                differ = sorted(k for k in set(want) | set(got) if want.get(k) != got.get(k))
                sys.stderr.write("%s: %s differ\n" % (name, ", ".join(differ) or "no files"))
    print("%d captures, %d differ" % (len(captures.CAPTURES), failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))
