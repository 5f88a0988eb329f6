#!/usr/bin/env python3
"""The golden decoder suite: each capture of captures.py through orn-decode,
its standard output compared byte for byte with expected/CAPTURE.MODE.

  golden.py ORN_DECODE CAPTURE MODE   one test (what ctest runs)
  golden.py ORN_DECODE --update       rewrites every expected file
  golden.py --list                    one "CAPTURE MODE" line per test

Modes: reduced, full, and messages (full info with messages). The filters
capture runs once per stored filter set of FILTER_SETS instead: orn-decode
--filters reads the store that this script writes into a private mount
namespace (a tmpfs on /var/lib/orn that nobody outside sees); the link-*
captures run in the messages mode alone. Entries are stamped in UTC. The exit status must be 0 and is reported on its own.
"""

import difflib
import os
import re
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import captures  # noqa: E402

EXPECTED = os.path.join(HERE, "expected")
MODES = {"reduced": [], "full": ["--full"], "messages": ["--full", "--messages"]}
A, B, C = captures.A, captures.B, captures.C


def store(src=(), dst=(), full=0, messages=0):
    """A registry store holding one filter set: (address, port) entries per side."""
    def hexbytes(data):
        return ",".join("%02x" % b for b in data)

    lines = ["Windows Registry Editor Version 5.00", "",
             r"[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\tarnwhelm\ORN]"]
    for side, entries in (("Src", src), ("Dest", dst)):
        if entries:
            lines.append('"%sAddrs"=hex:%s' % (side, hexbytes(b"".join(captures.addr(a) for a, _ in entries))))
            lines.append('"%sPorts"=hex:%s' % (side, hexbytes(b"".join(p.to_bytes(2, "little") for _, p in entries))))
    lines.append('"FullInfo"=dword:%08x' % full)
    lines.append('"Messages"=dword:%08x' % messages)
    return "\r\n".join(lines) + "\r\n"


# name: (store text or None for no store at all, further arguments)
FILTER_SETS = {
    # Nothing stored: the program's defaults, everything accepted, with messages.
    "absent": (None, []),
    # An empty source list lets everything through, whatever the destinations.
    "empty-source": (store(dst=[(C, 9)]), []),
    # A source entry compares the source port, not the destination port.
    "source-port": (store(src=[(A, 80)]), []),
    # Port 0 is any port, but only protocols with ports are scanned.
    "source-any-port": (store(src=[(A, 0)]), []),
    # An entry with the address but another port does not end the scan.
    "same-address": (store(src=[(A, 21), (A, 25)]), []),
    # Without a source match the destination entries are scanned.
    "destination": (store(src=[(C, 7)], dst=[(B, 80), (A, 1025)]), []),
    # IGMP's ports are its first two words; ICMP's are never looked at.
    "igmp-words": (store(src=[(A, 0x1600), (A, 0x0800)]), []),
    # The stored options, and the command line switching them on.
    "stored-options": (store(src=[(A, 0)], full=1, messages=1), []),
    "forced-options": (store(src=[(A, 0)]), ["--full", "--messages"]),
}


def tests():
    for name in captures.CAPTURES:
        # The link layers only decide where each datagram begins and ends,
        # which the messages mode shows whole.
        modes = FILTER_SETS if name == "filters" else ["messages"] if name.startswith("link-") else MODES
        for mode in modes:
            yield name, mode


def in_private_mount(argv, store_text, scratch):
    """argv run with store_text as the machine's registry store, seen only
    inside a new mount namespace; None when no namespace can be made."""
    unshare = ["unshare", "--mount", "--propagation", "private"]
    if os.geteuid() != 0:
        unshare.append("--map-root-user")
    if subprocess.run(unshare + ["true"], capture_output=True).returncode != 0:
        return None
    path = ""
    if store_text is not None:
        path = os.path.join(scratch, "registry.reg")
        with open(path, "w", newline="") as f:
            f.write(store_text)
    script = ("set -e\n"
              "if [ -d /var/lib/orn ]; then mount -t tmpfs -o size=1m tmpfs /var/lib/orn\n"
              "else mount -t tmpfs -o size=1m tmpfs /var/lib; mkdir /var/lib/orn; fi\n"
              'if [ -n "$1" ]; then cp "$1" /var/lib/orn/registry.reg; fi\n'
              "shift\n"
              'exec "$@"\n')
    return unshare + ["sh", "-c", script, "sh", path] + argv


def run(orn, name, mode):
    """orn-decode's standard output and exit status for one test, or None."""
    with tempfile.TemporaryDirectory(prefix="orn-golden.") as scratch:
        capture = os.path.join(scratch, name + ".pcap")
        with open(capture, "wb") as f:
            f.write(captures.pcap(name))
        # An empty per-user configuration: whichever store orn-decode picks, it is ours.
        xdg = os.path.join(scratch, "config")
        os.mkdir(xdg)
        env = dict(os.environ, TZ="UTC", XDG_CONFIG_HOME=xdg, LC_ALL="C")
        if name == "filters":
            store_text, args = FILTER_SETS[mode]
            argv = in_private_mount([orn, "--filters"] + args + [capture], store_text, scratch)
            if argv is None:
                return None
        else:
            argv = [orn] + MODES[mode] + [capture]
        p = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env, timeout=120)
        sys.stderr.write(p.stderr.decode(errors="replace"))
        return p.stdout, p.returncode


STAMP = re.compile(rb"<\w{3}, \d\d \w{3} \d{4} (\d\d):(\d\d):(\d\d)>\t")


def entries(output):
    starts = [m.start() for m in STAMP.finditer(output)] + [len(output)]
    return [output[a:b] for a, b in zip(starts, starts[1:])]


def pieces(entry):
    return [repr(p)[2:-1] for p in re.split(rb"(?<=\t)", entry)]


def explain(name, expected, got):
    """The first entry that differs, with the case it belongs to."""
    want, have = entries(expected), entries(got)
    _, cases, *_ = captures.CAPTURES[name]()
    for i in range(max(len(want), len(have))):
        w = want[i] if i < len(want) else b"(nothing)"
        h = have[i] if i < len(have) else b"(nothing)"
        if w == h:
            continue
        m = STAMP.match(h) or STAMP.match(w)
        case = "?"
        if m:
            seconds = int(m[1]) * 3600 + int(m[2]) * 60 + int(m[3])
            index = seconds - captures.BASE_TIME % 86400
            if 0 <= index < len(cases):
                case = "%d, %s" % (index, cases[index][0])
        diff = difflib.unified_diff(pieces(w), pieces(h), "expected", "got", n=2, lineterm="")
        return "entry %d differs (case %s)\n%s\n" % (i, case, "\n".join(diff))
    return "the entries are equal but the outputs are not\n"


def check(orn, name, mode):
    result = run(orn, name, mode)
    if result is None:
        print("no private mount namespace can be made here; skipped")
        return 77
    got, status = result
    path = os.path.join(EXPECTED, "%s.%s" % (name, mode))
    failed = False
    if status != 0:
        print("orn-decode exited with status %d (expected 0)" % status)
        failed = True
    try:
        with open(path, "rb") as f:
            expected = f.read()
    except FileNotFoundError:
        print("%s is missing: golden.py ORN_DECODE --update writes it" % path)
        return 1
    if got != expected:
        where = os.path.relpath(path, os.path.join(HERE, "..", "..", ".."))
        print("standard output differs from %s: %s" % (where, explain(name, expected, got)))
        failed = True
    return 1 if failed else 0


def update(orn):
    os.makedirs(EXPECTED, exist_ok=True)
    status = 0
    for name, mode in tests():
        result = run(orn, name, mode)
        if result is None:
            print("%s.%s: no private mount namespace; left as it was" % (name, mode))
            status = 1
            continue
        got, code = result
        if code != 0:
            print("%s.%s: orn-decode exited with status %d" % (name, mode, code))
            status = 1
        path = os.path.join(EXPECTED, "%s.%s" % (name, mode))
        old = open(path, "rb").read() if os.path.exists(path) else None
        if old != got:
            with open(path, "wb") as f:
                f.write(got)
            print("%s.%s: %s" % (name, mode, "written" if old is None else "changed"))
    return status


def main(argv):
    if argv == ["--list"]:
        for name, mode in tests():
            print(name, mode)
        return 0
    if len(argv) == 2 and argv[1] == "--update":
        return update(os.path.abspath(argv[0]))
    if len(argv) == 3 and (argv[1], argv[2]) in set(tests()):
        return check(os.path.abspath(argv[0]), argv[1], argv[2])
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
