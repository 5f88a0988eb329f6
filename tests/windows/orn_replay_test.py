#!/usr/bin/env python3
"""orn.exe FILE under Wine on the caller's display: the window replays the
capture into its log, which must be byte for byte what orn-decode.exe
--filters writes for the same file and the same stored filter set (full
info, messages). The window is then ended as a user would, by WM_CLOSE, and
the program must exit with 0. Also: --help reaches a redirected stream, and a refused command line its standard error.

  orn_replay_test.py ORN_EXE ORN_DECODE_EXE CLOSE_WINDOW_EXE
"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "decode", "golden"))
import captures  # noqa: E402
import golden  # noqa: E402

WINE = os.environ.get("ORN_WINE", "/usr/lib/wine/wine64")
TITLE = ">:-)"


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def combined_capture():
    """The golden captures of one link type and byte order as one pcap file."""
    out, link = [], None
    for name in ("ip", "protocols", "tcp", "udp", "icmp", "igmp", "gre"):
        data = captures.pcap(name)
        if link is None:
            link = data[:24]
            out.append(data[:24])
        if data[:24] == link:
            out.append(data[24:])
    return b"".join(out)


def log_files(top):
    return [os.path.join(root, n) for root, _, names in os.walk(top) for n in names]


def main(orn, decode, close_window):
    if not os.environ.get("DISPLAY"):
        print("no display")
        return 1
    failures = []
    with tempfile.TemporaryDirectory(prefix="orn-replay.") as scratch:
        program = os.path.join(scratch, "bin", "orn.exe")  # its log goes to bin/Log
        os.mkdir(os.path.dirname(program))
        shutil.copy(orn, program)
        capture = os.path.join(scratch, "replay.pcap")
        with open(capture, "wb") as f:
            f.write(combined_capture())
        store = os.path.join(scratch, "store.reg")
        with open(store, "w", newline="") as f:
            f.write(golden.store(full=1, messages=1))
        key = r"HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\tarnwhelm\ORN"
        subprocess.run([WINE, "reg", "delete", key, "/f"], capture_output=True)
        if subprocess.run([WINE, "reg", "import", windows_path(store)], capture_output=True).returncode != 0:
            print("reg import failed")
            return 1
        env = dict(os.environ, TZ="UTC", LC_ALL="C")
        expected = subprocess.run([WINE, decode, "--filters", windows_path(capture)], capture_output=True,
                                  env=env, timeout=120).stdout
        if not expected:
            print("orn-decode.exe wrote nothing")
            return 1

        usage = subprocess.run([WINE, program, "--help"], capture_output=True, env=env, timeout=60)
        if usage.returncode != 0 or not usage.stdout.startswith(b"Usage: orn [--start | CAPTURE-FILE]"):
            failures.append("--help: status %d, %r" % (usage.returncode, usage.stdout[:80]))
        both = subprocess.run([WINE, program, "--start", windows_path(capture)], capture_output=True, env=env,
                              timeout=60)
        if both.returncode != 2 or not both.stderr.startswith(b"orn: --start or a capture file, not both"):
            failures.append("--start FILE: status %d, %r" % (both.returncode, both.stderr[:80]))

        started = time.monotonic()
        window = subprocess.Popen([WINE, program, windows_path(capture)], env=env,
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        try:
            # The whole log written: the replay has ended.
            logged = b""
            while time.monotonic() - started < 90 and window.poll() is None:
                files = log_files(os.path.join(scratch, "bin", "Log"))
                logged = open(files[0], "rb").read() if len(files) == 1 else b""
                if logged == expected:
                    break
                time.sleep(0.3)
            closed = False
            while not closed and time.monotonic() - started < 100 and window.poll() is None:
                closed = subprocess.run([WINE, close_window, TITLE], capture_output=True).returncode == 0
                time.sleep(0.2)
            if not closed:
                failures.append("no window titled %r to close" % TITLE)
            status = window.wait(timeout=30)
        except subprocess.TimeoutExpired:
            window.kill()
            status = window.wait()
            failures.append("orn.exe did not end after WM_CLOSE")
        output = window.stdout.read().decode(errors="replace")
        if status != 0:
            failures.append("orn.exe ended with %d: %s" % (status, output))
        files = log_files(os.path.join(scratch, "bin", "Log"))
        if len(files) != 1:
            failures.append("log files: %s" % files)
        else:
            logged = open(files[0], "rb").read()
            if logged != expected:
                at = next((i for i, (a, b) in enumerate(zip(logged, expected)) if a != b), min(len(logged), len(expected)))
                failures.append("the log differs from orn-decode.exe's output at byte %d of %d/%d: %r / %r"
                                % (at, len(logged), len(expected), logged[at:at + 60], expected[at:at + 60]))
        subprocess.run([WINE, "reg", "delete", key, "/f"], capture_output=True)
    for f in failures:
        print(f)
    print("replay: %d bytes logged, %s" % (len(expected), "differs" if failures else "same as orn-decode.exe"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:4]))
