#!/usr/bin/env python3
"""The mutation check: does the test suite notice a small fault planted in the code?

Each mutation of mutations.toml replaces one piece of text in one source file.
It is applied alone to a scratch copy of the tree, only the targets it names
are built, the tests that run those targets are run, and the file is put back.
A mutation is caught when a test fails and survives when every test passes.
It is not counted when its text is no longer found exactly once (the code
moved on: update the data file) or when the mutant does not compile.

  mutate.py                 every mutation
  mutate.py ID... | AREA... the named mutations, or those of decode/, dialogs/, ...
  mutate.py windows         the mutations checked by the Windows build
  mutate.py --list          the mutations, one line each
  mutate.py --diff ID       what the mutation changes

The scratch copy (build-mutation/ beside the tree's own build/, ignored by
git) stays between runs: the first run builds it fully, later ones rebuild
only what a mutation touches (with ccache, when installed, most of that is a
cache hit). Exit status: 0 when no mutation survived unexplained.

A mutation with `build = "windows"` is built by the MinGW-w64 cross build in
the copy's build-windows/, configured as scripts/test configures the tree's
(libpcap for Windows taken from the tree's build-windows/deps, or built by
scripts/windows-deps; the Linux build's art, orn-decode and orn-skin-sample
built from the unmutated copy for the tests that compare with them), and its
tests run under Wine through ctest, in the copy's own Wine prefix.
"""

import argparse
import difflib
import json
import os
import re
import shutil
import subprocess
import sys
import time
import tomllib

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(os.path.dirname(HERE))
DATA = os.path.join(HERE, "mutations.toml")


def load():
    with open(DATA, "rb") as f:
        data = tomllib.load(f)
    mutations = data["mutation"]
    ids = [m["id"] for m in mutations]
    duplicated = {i for i in ids if ids.count(i) > 1}
    if duplicated:
        sys.exit("mutations.toml: ids used twice: " + ", ".join(sorted(duplicated)))
    for m in mutations:
        m["area"] = m["file"].split("/")[0]
        m.setdefault("build", "linux")
        if m["build"] not in ("linux", "windows"):
            sys.exit("mutations.toml: %s: build is linux or windows" % m["id"])
        groups = data["tests" if m["build"] == "linux" else "windows-tests"]
        m["targets"] = [t for g in m["tests"] for t in groups[g]] if "tests" in m else []
        if not m["targets"]:
            sys.exit("mutations.toml: %s names no tests" % m["id"])
    return mutations


def run(argv, cwd, log=None, timeout=None):
    out = subprocess.run(argv, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                         errors="replace", timeout=timeout)
    if log is not None:
        log.write("$ %s\n%s\n" % (" ".join(argv), out.stdout))
    return out


def sync(scratch):
    """Makes scratch a copy of the tree's files (tracked and new, not ignored).
    Unchanged files keep their times, so the build redoes only what changed;
    a changed one is written now, newer than anything built from it before."""
    listed = subprocess.run(["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
                            cwd=TOP, stdout=subprocess.PIPE, check=True).stdout.decode().split("\0")
    files = {f for f in listed if f and os.path.isfile(os.path.join(TOP, f))}
    for f in files:
        source, copy = os.path.join(TOP, f), os.path.join(scratch, f)
        with open(source, "rb") as s:
            data = s.read()
        if os.path.exists(copy):
            with open(copy, "rb") as c:
                if c.read() == data:
                    continue
        os.makedirs(os.path.dirname(copy), exist_ok=True)
        shutil.copyfile(source, copy)
        shutil.copymode(source, copy)
    for root, dirs, names in os.walk(scratch):
        rel = os.path.relpath(root, scratch)
        if rel == ".":
            dirs[:] = [d for d in dirs if d not in ("build", "build-windows", ".git")]
        for n in names:
            f = os.path.normpath(os.path.join(rel, n))
            if f not in files and f != "mutate.log":
                os.unlink(os.path.join(root, n))


def configure(scratch, log, build="build", options=("-DCMAKE_BUILD_TYPE=Release", "-DORN_BENCH=OFF")):
    build = os.path.join(scratch, build)
    if os.path.exists(os.path.join(build, "CMakeCache.txt")):
        return build
    argv = ["cmake", "-S", scratch, "-B", build] + list(options)
    if shutil.which("ninja"):
        argv += ["-G", "Ninja"]
    if shutil.which("ccache"):
        argv += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
    if run(argv, scratch, log).returncode != 0:
        sys.exit("cannot configure %s (see %s)" % (build, log.name))
    return build


# The Linux build's outputs that the Windows build takes: the skin's bitmaps
# always (it will not configure without them), the others for the tests that
# compare with them. Built from the unmutated copy before each Windows mutant.
LINUX_ART = "orn_bitmaps"
LINUX_REFERENCES = {"windows.same-as-linux": "orn-decode", "windows.screenshots": "orn-skin-sample"}


def configure_windows(scratch, linux, jobs, log):
    build = os.path.join(scratch, "build-windows")
    deps = os.path.join(build, "deps")
    if not os.path.exists(os.path.join(deps, "libpcap", "lib", "libpcap.a")):
        built = os.path.join(TOP, "build-windows", "deps", "libpcap")
        if os.path.exists(os.path.join(built, "lib", "libpcap.a")):
            shutil.rmtree(os.path.join(deps, "libpcap"), ignore_errors=True)
            shutil.copytree(built, os.path.join(deps, "libpcap"), symlinks=True)
        elif run([os.path.join(scratch, "scripts", "windows-deps"), build], scratch, log).returncode != 0:
            sys.exit("cannot build libpcap for Windows (see %s)" % log.name)
    if not build_targets(linux, [LINUX_ART], jobs, log):
        sys.exit("the unmutated copy's Linux art does not build (see %s)" % log.name)
    return configure(scratch, log, "build-windows",
                     ["-DCMAKE_TOOLCHAIN_FILE=%s/cmake/mingw-w64.cmake" % scratch, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                      "-DORN_GUI=OFF", "-DORN_BENCH=OFF", "-DORN_LINUX_DECODE=%s/orn-decode" % linux,
                      "-DORN_LINUX_ART=%s/resources/art/generated" % linux,
                      "-DORN_LINUX_SKIN_SAMPLE=%s/orn-skin-sample" % linux])


def linux_references(linux, names, jobs, log):
    return build_targets(linux, [LINUX_ART] + [LINUX_REFERENCES[n] for n in names if n in LINUX_REFERENCES],
                         jobs, log)


# ctest's limit for a test that sets none; Wine's first start in a fresh prefix is slow.
TIMEOUTS = {"linux": 120, "windows": 300}


def build_targets(build, targets, jobs, log):
    return run(["cmake", "--build", build, "-j", str(jobs), "--target"] + sorted(set(targets)), build,
               log).returncode == 0


def tests_of(build, targets):
    """The ctest tests whose command runs, or is given, one of the targets' files."""
    shown = run(["ctest", "--show-only=json-v1"], build)
    files = {os.path.join(build, t) for t in targets}
    return [t["name"] for t in json.loads(shown.stdout)["tests"]
            if files.intersection(t.get("command", []))]


class WindowsTests:
    """What a Windows mutation builds and runs. Its entries are targets, whose
    tests run when the command names no program of the build besides them
    (TARGET.exe, or the TARGET-wine script that runs it; windows.imports looks
    at programs no mutation names), or ctest tests by name (windows.NAME),
    which run with every program their command names built."""

    def __init__(self, build):
        shown = run(["ctest", "--show-only=json-v1"], build)
        self.programs = {}
        for test in json.loads(shown.stdout)["tests"]:
            names = set()
            for word in test.get("command", []):
                if os.path.dirname(word) != build:
                    continue
                name = os.path.basename(word)
                name = name[:-4] if name.endswith(".exe") else name[:-5] if name.endswith("-wine") else name
                if os.path.isdir(os.path.join(build, "CMakeFiles", name + ".dir")):
                    names.add(name)
            self.programs[test["name"]] = names

    def plan(self, entries):
        """The targets to build and the tests to run."""
        targets = {e for e in entries if not e.startswith("windows.")}
        named = [e for e in entries if e.startswith("windows.")]
        unknown = [e for e in named if e not in self.programs]
        if unknown:
            sys.exit("mutations.toml: no such Windows test: " + ", ".join(unknown))
        names = {n for n, programs in self.programs.items() if programs & targets and programs <= targets}
        return sorted(targets.union(*(self.programs[n] for n in named))), sorted(names.union(named))


def run_tests(build, names, jobs, log, timeout=120):
    """Runs the named tests and, in the Windows build, the fixture that makes
    and ends their Wine prefix (ctest adds it)."""
    if not names:
        return False, []
    pattern = "^(" + "|".join(re.escape(n).replace("\\-", "-") for n in names) + ")$"
    out = run(["ctest", "-j", str(jobs), "--timeout", str(timeout), "-R", pattern], build, log)
    failed = re.findall(r"^\s*\d+ - (\S+) \(", out.stdout, re.M)
    if "windows.wine-prefix-start" in failed:  # no test ran: neither caught nor survived
        sys.exit("the scratch copy's Wine prefix could not be made (see %s)" % log.name)
    return out.returncode == 0, failed


def apply(scratch, m):
    """The file's text and its mutant, or None when the text to replace is not
    found exactly once."""
    path = os.path.join(scratch, m["file"])
    if not os.path.exists(path):
        return None
    with open(path, encoding="utf-8") as f:
        text = f.read()
    if text.count(m["from"]) != 1:
        return None
    return text, text.replace(m["from"], m["to"])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("names", nargs="*",
                        help="mutation ids or areas (decode, capture, dialogs, ...), or windows")
    parser.add_argument("--list", action="store_true", help="list the mutations")
    parser.add_argument("--diff", action="store_true", help="show what the named mutations change")
    parser.add_argument("--dir", default=os.path.join(TOP, "build-mutation"), help="the scratch copy")
    parser.add_argument("-j", "--jobs", type=int, default=2)
    parser.add_argument("--no-baseline", action="store_true",
                        help="skip running the chosen tests on the unmutated copy first")
    args = parser.parse_args()

    mutations = load()
    if args.names:
        def named(m, n):
            return n in (m["id"], m["area"]) or n == "windows" == m["build"]
        unknown = [n for n in args.names if not any(named(m, n) for m in mutations)]
        if unknown:
            sys.exit("no such mutation or area: " + ", ".join(unknown))
        mutations = [m for m in mutations if any(named(m, n) for n in args.names)]
    if args.list:
        for m in mutations:
            why = ("(windows) " if m["build"] == "windows" else "") + m.get("why", "")
            print("%-34s %-30s %s" % (m["id"], m["file"], why))
        return 0
    if args.diff:
        for m in mutations:
            found = apply(TOP, m)
            if found is None:
                print("%s: pattern not found in %s" % (m["id"], m["file"]))
                continue
            sys.stdout.writelines(difflib.unified_diff(found[0].splitlines(True), found[1].splitlines(True),
                                                       "a/" + m["file"], "b/" + m["file"], n=1))
        return 0

    scratch = os.path.abspath(args.dir)
    os.makedirs(scratch, exist_ok=True)
    os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")
    os.environ.setdefault("CCACHE_BASEDIR", scratch)
    os.environ.setdefault("WINEDEBUG", "-all")
    sync(scratch)
    log = open(os.path.join(scratch, "mutate.log"), "w")
    linux = configure(scratch, log)
    builds = {}  # build kind: its directory, and what a mutation's targets build and run
    for kind in ("linux", "windows"):
        chosen = [m for m in mutations if m["build"] == kind]
        if not chosen:
            continue
        entries = sorted({t for m in chosen for t in m["targets"]})
        if kind == "linux":
            build = linux
            targets = entries
        else:
            build = configure_windows(scratch, linux, args.jobs, log)
            plan = WindowsTests(build).plan
            targets = plan(entries)[0]
        print("building %d targets in %s" % (len(targets), build), flush=True)
        if not build_targets(build, targets, args.jobs, log):
            sys.exit("the unmutated copy does not build (see %s)" % log.name)
        if kind == "linux":
            tests = {t: tests_of(build, [t]) for t in targets}
            plan = lambda e, tests=tests: (e, sorted({n for t in e for n in tests[t]}))  # noqa: E731
        elif not linux_references(linux, plan(entries)[1], args.jobs, log):
            sys.exit("the unmutated copy's Linux programs do not build (see %s)" % log.name)
        builds[kind] = build, plan
        if not args.no_baseline:
            names = plan(entries)[1]
            print("baseline: %d tests on the unmutated copy" % len(names), flush=True)
            ok, failed = run_tests(build, names, args.jobs, log, TIMEOUTS[kind])
            if not ok:
                sys.exit("tests fail without any mutation: %s (see %s)" % (" ".join(failed), log.name))

    results = []
    for m in mutations:
        started = time.monotonic()
        build, plan = builds[m["build"]]
        targets, names = plan(m["targets"])
        # A Linux mutant built before leaves its programs behind: the Windows
        # tests compare with the unmutated ones.
        if m["build"] == "windows" and not linux_references(linux, names, args.jobs, log):
            sys.exit("the unmutated copy's Linux programs do not build (see %s)" % log.name)
        found = apply(scratch, m)
        detail = ""
        if found is None:
            outcome = "not found"
        else:
            path = os.path.join(scratch, m["file"])
            try:
                with open(path, "w", encoding="utf-8") as f:
                    f.write(found[1])
                if not build_targets(build, targets, args.jobs, log):
                    outcome, detail = "no build", "the mutant does not compile (see %s)" % log.name
                else:
                    ok, failed = run_tests(build, names, args.jobs, log, TIMEOUTS[m["build"]])
                    outcome = "survived" if ok else "caught"
                    detail = ", ".join(failed[:4]) + (" and %d more" % (len(failed) - 4) if len(failed) > 4 else "")
                    if ok:
                        detail = "%d tests passed" % len(names)
            finally:
                with open(path, "w", encoding="utf-8") as f:
                    f.write(found[0])
        if outcome == "survived" and m.get("equivalent"):
            outcome, detail = "equivalent", m["equivalent"]
        results.append((m, outcome))
        print("%-10s %-34s %4.0fs  %s" % (outcome, m["id"], time.monotonic() - started, detail), flush=True)

    areas = sorted({m["area"] for m, _ in results})
    kinds = ["caught", "survived", "equivalent", "not found", "no build"]
    print("\n%-10s" % "area" + "".join("%11s" % k for k in kinds))
    for area in areas + ["all"]:
        counts = [sum(1 for m, o in results if o == k and area in (m["area"], "all")) for k in kinds]
        print("%-10s" % area + "".join("%11d" % c for c in counts))
    caught = sum(1 for _, o in results if o == "caught")
    survived = sum(1 for _, o in results if o == "survived")
    counted = caught + survived
    if counted:
        print("\nscore: %d of %d caught (%.0f%%), equivalent mutations left out"
              % (caught, counted, 100.0 * caught / counted))
    return 1 if survived else 0


if __name__ == "__main__":
    sys.exit(main())
