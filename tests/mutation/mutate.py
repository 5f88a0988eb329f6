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
  mutate.py --list          the mutations, one line each
  mutate.py --diff ID       what the mutation changes

The scratch copy (build-mutation/ beside the tree's own build/, ignored by
git) stays between runs: the first run builds it fully, later ones rebuild
only what a mutation touches (with ccache, when installed, most of that is a
cache hit). Exit status: 0 when no mutation survived unexplained.
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
        m["targets"] = [t for g in m["tests"] for t in data["tests"][g]] if "tests" in m else []
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
            dirs[:] = [d for d in dirs if d not in ("build", ".git")]
        for n in names:
            f = os.path.normpath(os.path.join(rel, n))
            if f not in files and f != "mutate.log":
                os.unlink(os.path.join(root, n))


def configure(scratch, log):
    build = os.path.join(scratch, "build")
    if os.path.exists(os.path.join(build, "CMakeCache.txt")):
        return build
    argv = ["cmake", "-S", scratch, "-B", build, "-DCMAKE_BUILD_TYPE=Release", "-DORN_BENCH=OFF"]
    if shutil.which("ninja"):
        argv += ["-G", "Ninja"]
    if shutil.which("ccache"):
        argv += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
    if run(argv, scratch, log).returncode != 0:
        sys.exit("cannot configure %s (see %s)" % (build, log.name))
    return build


def build_targets(build, targets, jobs, log):
    return run(["cmake", "--build", build, "-j", str(jobs), "--target"] + sorted(set(targets)), build,
               log).returncode == 0


def tests_of(build, targets):
    """The ctest tests whose command runs, or is given, one of the targets' files."""
    shown = run(["ctest", "--show-only=json-v1"], build)
    files = {os.path.join(build, t) for t in targets}
    return [t["name"] for t in json.loads(shown.stdout)["tests"]
            if files.intersection(t.get("command", []))]


def run_tests(build, names, jobs, log):
    if not names:
        return False, []
    pattern = "^(" + "|".join(re.escape(n).replace("\\-", "-") for n in names) + ")$"
    out = run(["ctest", "-j", str(jobs), "--timeout", "120", "-R", pattern], build, log)
    failed = re.findall(r"^\s*\d+ - (\S+) \(", out.stdout, re.M)
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
    parser.add_argument("names", nargs="*", help="mutation ids or areas (decode, capture, dialogs, ...)")
    parser.add_argument("--list", action="store_true", help="list the mutations")
    parser.add_argument("--diff", action="store_true", help="show what the named mutations change")
    parser.add_argument("--dir", default=os.path.join(TOP, "build-mutation"), help="the scratch copy")
    parser.add_argument("-j", "--jobs", type=int, default=2)
    parser.add_argument("--no-baseline", action="store_true",
                        help="skip running the chosen tests on the unmutated copy first")
    args = parser.parse_args()

    mutations = load()
    if args.names:
        unknown = [n for n in args.names if not any(n in (m["id"], m["area"]) for m in mutations)]
        if unknown:
            sys.exit("no such mutation or area: " + ", ".join(unknown))
        mutations = [m for m in mutations if m["id"] in args.names or m["area"] in args.names]
    if args.list:
        for m in mutations:
            print("%-34s %-30s %s" % (m["id"], m["file"], m.get("why", "")))
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
    sync(scratch)
    log = open(os.path.join(scratch, "mutate.log"), "w")
    build = configure(scratch, log)

    targets = sorted({t for m in mutations for t in m["targets"]})
    print("building %d targets in %s" % (len(targets), build), flush=True)
    if not build_targets(build, targets, args.jobs, log):
        sys.exit("the unmutated copy does not build (see %s)" % log.name)
    tests = {t: tests_of(build, [t]) for t in targets}
    if not args.no_baseline:
        names = sorted({n for t in targets for n in tests[t]})
        print("baseline: %d tests on the unmutated copy" % len(names), flush=True)
        ok, failed = run_tests(build, names, args.jobs, log)
        if not ok:
            sys.exit("tests fail without any mutation: %s (see %s)" % (" ".join(failed), log.name))

    results = []
    for m in mutations:
        started = time.monotonic()
        found = apply(scratch, m)
        detail = ""
        if found is None:
            outcome = "not found"
        else:
            path = os.path.join(scratch, m["file"])
            try:
                with open(path, "w", encoding="utf-8") as f:
                    f.write(found[1])
                names = sorted({n for t in m["targets"] for n in tests[t]})
                if not build_targets(build, m["targets"], args.jobs, log):
                    outcome, detail = "no build", "the mutant does not compile (see %s)" % log.name
                else:
                    ok, failed = run_tests(build, names, args.jobs, log)
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
