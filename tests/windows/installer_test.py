#!/usr/bin/env python3
"""The Windows installer under Wine, in the run's prefix (WINEPREFIX): a silent
install puts exactly the package's files into Program Files\\ORN, the same
bytes as the build's, with the Start menu entries, the uninstall key and the
firewall rule's netsh commands (which fail here, as on a Wine without the
firewall: the install must still succeed); the installed orn-decode.exe
decodes a capture as the build's does; a silent uninstall removes all of it
and the rule, and leaves the filter set's registry key as it was.

  installer_test.py SETUP_EXE BUILD_DIR SOURCE_DIR NETSH_STANDIN VERSION
"""

import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "decode", "golden"))
import captures  # noqa: E402
from same_as_linux import tree  # noqa: E402

WINE = os.environ.get("ORN_WINE", "/usr/lib/wine/wine64")
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ORN"
FILTER_KEY = r"HKLM\SYSTEM\CurrentControlSet\Services\tarnwhelm\ORN"
INSTDIR = r"C:\Program Files\ORN"
RULE = r'name="ORN" program="C:\Program Files\ORN\orn.exe"'
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL: " + what)


def wine(*args, env=None, timeout=120):
    return subprocess.run([WINE] + list(args), capture_output=True, timeout=timeout,
                          env=dict(os.environ, **(env or {})))


def reg_values(key):
    """{name: data} of key's values, None when the key is absent."""
    p = wine("reg", "query", key)
    if p.returncode != 0:
        return None
    values = {}
    for line in p.stdout.decode("utf-8", "replace").splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) >= 2 and parts[1].startswith("REG_"):
            values[parts[0]] = parts[2] if len(parts) == 3 else ""
    return values


def main(setup, build, source, standin, version):
    drive_c = os.path.join(os.environ["WINEPREFIX"], "drive_c")
    instdir = os.path.join(drive_c, "Program Files", "ORN")
    menu = os.path.join(drive_c, "ProgramData", "Microsoft", "Windows", "Start Menu", "Programs", "ORN")
    netsh = os.path.join(drive_c, "windows", "system32", "netsh.exe")
    scratch = tempfile.mkdtemp(prefix="orn-installer.", dir=drive_c)
    log = os.path.join(scratch, "netsh.log")
    win_scratch = "C:\\" + os.path.basename(scratch)
    # Wine's own netsh knows no firewall; the stand-in records what ran.
    # No menu files for the desktop from the shortcuts.
    env = {"WINEDLLOVERRIDES": "mscoree=;mshtml=;netsh.exe=n;winemenubuilder.exe=d",
           "ORN_NETSH_LOG": win_scratch + "\\netsh.log"}
    shutil.copy(netsh, os.path.join(scratch, "netsh.orig"))
    shutil.copy(standin, netsh)
    try:
        check(wine("reg", "add", FILTER_KEY, "/v", "InstallerProbe", "/t", "REG_SZ", "/d", "kept", "/f").returncode == 0,
              "reg add of the filter set's probe value")

        p = wine(setup, "/S", env=dict(env, ORN_NETSH_STATUS="1"))
        check(p.returncode == 0, "silent install exits with 0 though netsh fails (got %d)" % p.returncode)

        # The window program, where the build has it, with its Start menu entry.
        programs = [p for p in ("orn.exe", "orn-decode.exe") if os.path.exists(os.path.join(build, p))]
        expected = {p: open(os.path.join(build, p), "rb").read() for p in programs}
        expected["README.txt"] = open(os.path.join(source, "resources", "windows", "README.txt"), "rb").read()
        for name, data in tree(os.path.join(build, "help")).items():
            expected[os.path.join("help", name)] = data
        got = tree(instdir) if os.path.isdir(instdir) else {}
        check("Uninstall.exe" in got, "Uninstall.exe installed")
        got.pop("Uninstall.exe", None)
        check(sorted(got) == sorted(expected), "installed files: missing %s, extra %s"
              % (sorted(set(expected) - set(got)), sorted(set(got) - set(expected))))
        check(all(got[n] == expected[n] for n in set(got) & set(expected)), "installed files equal the build's")
        links = sorted(os.listdir(menu)) if os.path.isdir(menu) else []
        want = ["ORN Help.lnk", "ORN Readme.lnk", "Uninstall ORN.lnk"] + (["ORN.lnk"] if "orn.exe" in programs else [])
        check(links == sorted(want), "Start menu entries: %s" % links)

        values = reg_values(UNINSTALL_KEY) or {}
        uninstaller = '"%s\\Uninstall.exe"' % INSTDIR
        check(values.get("DisplayName") == "ORN " + version, "DisplayName: %r" % values.get("DisplayName"))
        check(values.get("DisplayVersion") == version, "DisplayVersion: %r" % values.get("DisplayVersion"))
        check(values.get("InstallLocation") == INSTDIR, "InstallLocation: %r" % values.get("InstallLocation"))
        check(values.get("UninstallString") == uninstaller, "UninstallString: %r" % values.get("UninstallString"))
        check(values.get("QuietUninstallString") == uninstaller + " /S",
              "QuietUninstallString: %r" % values.get("QuietUninstallString"))

        # The installed program, by its Windows path, against the build's.
        capture = os.path.join(scratch, "capture.pcap")
        with open(capture, "wb") as f:
            f.write(captures.pcap("tcp"))
        decode_env = {"TZ": "UTC", "LC_ALL": "C"}
        installed = wine(INSTDIR + "\\orn-decode.exe", "--full", "--messages", capture, env=decode_env)
        built = wine(os.path.join(build, "orn-decode.exe"), "--full", "--messages", capture, env=decode_env)
        check(installed.returncode == 0 and installed.stdout, "installed orn-decode.exe decodes (status %d, %s)"
              % (installed.returncode, installed.stderr.decode(errors="replace").strip()))
        check(installed.stdout == built.stdout, "installed orn-decode.exe writes what the build's writes")
        if "orn.exe" in programs:
            # The window program loads (its imports, its manifest) and reads its command line.
            usage = wine(INSTDIR + "\\orn.exe", "--help")
            check(usage.returncode == 0 and usage.stdout.startswith(b"Usage: orn [--start | CAPTURE-FILE]"),
                  "installed orn.exe answers --help (status %d, %r)" % (usage.returncode, usage.stdout[:60]))

        # The uninstaller waits only when told where it was installed (_?=),
        # and can remove its own file only when it runs from elsewhere.
        shutil.copy(os.path.join(instdir, "Uninstall.exe"), os.path.join(scratch, "Uninstall.exe"))
        # _?= must come unquoted: Wine joins the pieces with spaces, and
        # would quote a piece holding one.
        p = wine(win_scratch + "\\Uninstall.exe", "/S", *("_?=" + INSTDIR).split(" "), env=env)
        check(p.returncode == 0, "silent uninstall exits with 0 (got %d)" % p.returncode)
        check(not os.path.exists(instdir), "install folder removed: %s left"
              % (sorted(tree(instdir)) if os.path.isdir(instdir) else ""))
        check(not os.path.exists(menu), "Start menu folder removed")
        check(reg_values(UNINSTALL_KEY) is None, "uninstall key removed")
        check((reg_values(FILTER_KEY) or {}).get("InstallerProbe") == "kept", "filter set's key left in place")

        with open(log, encoding="utf-8-sig") as f:
            ran = [line.split(None, 1)[1].strip() if " " in line else "" for line in f if line.strip()]
        check(ran == ["advfirewall firewall delete rule " + RULE,
                      r'advfirewall firewall add rule name="ORN" dir=in action=allow '
                      r'program="C:\Program Files\ORN\orn.exe" enable=yes',
                      "advfirewall firewall delete rule " + RULE],
              "netsh commands: %s" % ran)
    finally:
        shutil.copy(os.path.join(scratch, "netsh.orig"), netsh)
        wine("reg", "delete", FILTER_KEY, "/v", "InstallerProbe", "/f")
        shutil.rmtree(scratch, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
