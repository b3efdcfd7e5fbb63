#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Our own mutation check: does the test suite notice plausible faults in the code?

Each entry of tools/mutants.list names a file, an exact piece of its text and a faulty
replacement. The check copies the tracked tree into a folder of its own (the working tree is
never changed), builds it once and runs the suite to see it pass, then for each entry puts the
fault in, rebuilds, runs the tests the entry names first (a quick kill) and, when they pass,
the whole suite, takes the fault out again, and finally prints the score and the faults that
got through ("survivors").

    tools/mutants.py [--list FILE] [--work DIR] [--jobs N] [ID ...]

With IDs only those entries run. Exit status 0 when every fault was caught, 1 when one
survived, 2 when the list or the tree is not in order (an entry whose text is not found
exactly once, a fault that does not build, a suite that fails without any fault).
"""
import argparse
import os
import shutil
import subprocess
import sys
import time

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FIELDS = ("file", "find", "replace", "why", "tests")


def unescape(text):
    out, i = [], 0
    while i < len(text):
        if text[i] == "\\" and i + 1 < len(text) and text[i + 1] in "n\\":
            out.append("\n" if text[i + 1] == "n" else "\\")
            i += 2
        else:
            out.append(text[i])
            i += 1
    return "".join(out)


def read_list(path):
    """The entries in their order; a malformed entry ends the check with its line number."""
    entries, entry = [], None
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if line.startswith("[") and line.endswith("]"):
                entry = {"id": line[1:-1], "line": number}
                entries.append(entry)
            elif not line.strip() or (line.startswith("#") and entry is None):
                if not line.strip():
                    entry = None
            elif entry is not None and ": " in line and line.split(": ", 1)[0] in FIELDS:
                key, value = line.split(": ", 1)
                entry[key] = unescape(value) if key in ("find", "replace") else value
            else:
                sys.exit(f"{path}:{number}: not part of an entry: {line}")
    ids = set()
    for e in entries:
        missing = [k for k in ("file", "find", "replace", "why") if k not in e]
        if missing:
            sys.exit(f"{path}:{e['line']}: entry [{e['id']}] lacks {', '.join(missing)}")
        if e["id"] in ids:
            sys.exit(f"{path}:{e['line']}: entry [{e['id']}] named twice")
        ids.add(e["id"])
    return entries


def run(cmd, cwd, log, timeout=None):
    with open(log, "a", encoding="utf-8") as out:
        out.write("$ " + " ".join(cmd) + "\n")
        out.flush()
        try:
            return subprocess.run(cmd, cwd=cwd, stdout=out, stderr=subprocess.STDOUT,
                                  timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            out.write("(timed out)\n")
            return 124


def same_content(a, b):
    if not os.path.isfile(b) or os.path.getsize(a) != os.path.getsize(b):
        return False
    with open(a, "rb") as fa, open(b, "rb") as fb:
        return fa.read() == fb.read()


def copy_tree(work):
    """The tracked files of the working tree as they are now, into work/tree. Only files that
    differ are copied, with a new time, so the build there redoes only what changed; a file
    no longer tracked (removed or renamed since the last check) goes, or a glob would still
    build it."""
    tree = os.path.join(work, "tree")
    files = subprocess.run(["git", "ls-files", "-z"], cwd=TOP, check=True,
                           stdout=subprocess.PIPE).stdout.decode().split("\0")
    tracked = set(filter(None, files))
    for folder, _, names in os.walk(tree):
        for name in names:
            path = os.path.join(folder, name)
            if os.path.relpath(path, tree) not in tracked:
                os.remove(path)
    for name in filter(None, files):
        source = os.path.join(TOP, name)
        if not os.path.lexists(source):
            continue
        target = os.path.join(tree, name)
        if os.path.islink(source) or not same_content(source, target):
            os.makedirs(os.path.dirname(target), exist_ok=True)
            if os.path.lexists(target):
                os.remove(target)
            shutil.copy(source, target, follow_symlinks=False)
            shutil.copymode(source, target, follow_symlinks=False)
    return tree


class Suite:
    def __init__(self, tree, build, jobs, log):
        self.tree, self.build, self.jobs, self.log = tree, build, jobs, log

    def compile(self):
        return run(["cmake", "--build", self.build], self.tree, self.log) == 0

    def tests(self, pattern=None):
        """True when every test passes: ctest (stopping at the first failure) and, as root,
        the unit tests once more as an ordinary user."""
        cmd = ["ctest", "--test-dir", self.build, "-j", str(self.jobs), "--timeout", "600",
               "--stop-on-failure", "--output-on-failure"]
        if pattern:
            return run(cmd + ["-R", pattern], self.tree, self.log) == 0
        if run(cmd, self.tree, self.log) != 0:
            return False
        unprivileged = os.path.join(self.tree, "tools", "run-unprivileged-tests.sh")
        return run([unprivileged, self.build], self.tree, self.log, timeout=1200) == 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--list", default=os.path.join(TOP, "tools", "mutants.list"))
    parser.add_argument("--work", default=os.path.join(TOP, "build-mutants"))
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    parser.add_argument("ids", nargs="*")
    args = parser.parse_args()

    entries = read_list(args.list)
    if args.ids:
        unknown = set(args.ids) - {e["id"] for e in entries}
        if unknown:
            sys.exit(f"no such entries: {', '.join(sorted(unknown))}")
        entries = [e for e in entries if e["id"] in args.ids]

    os.makedirs(args.work, exist_ok=True)
    log = os.path.join(args.work, "mutants.log")
    open(log, "w").close()
    tree = copy_tree(args.work)
    build = os.path.join(args.work, "build")
    stale = []
    for e in entries:
        with open(os.path.join(tree, e["file"]), encoding="utf-8") as f:
            if f.read().count(e["find"]) != 1:
                stale.append(e["id"])
    if stale:
        print("entries whose text is not found exactly once:", ", ".join(stale))
        return 2

    suite = Suite(tree, build, args.jobs, log)
    print(f"building the unchanged tree in {build} (log: {log})", flush=True)
    if run(["cmake", "-S", tree, "-B", build, "-G", "Ninja", "-DVELMORA_TESTS=ON",
            "-DVELMORA_BENCH=OFF"], tree, log) != 0 or not suite.compile():
        print("the unchanged tree does not build")
        return 2
    if not suite.tests():
        print("the suite fails without any fault: see", log)
        return 2

    killed, survivors, unbuilt = [], [], []
    for number, e in enumerate(entries, 1):
        path = os.path.join(tree, e["file"])
        with open(path, encoding="utf-8") as f:
            original = f.read()
        started = time.monotonic()
        with open(log, "a", encoding="utf-8") as out:
            out.write(f"\n=== [{e['id']}] {e['file']}\n")
        try:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original.replace(e["find"], e["replace"], 1))
            if not suite.compile():
                unbuilt.append(e)
                verdict = "does not build"
            elif (e.get("tests") and not suite.tests(e["tests"])) or not suite.tests():
                killed.append(e)
                verdict = "caught"
            else:
                survivors.append(e)
                verdict = "SURVIVED"
        finally:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original)
        print(f"[{number}/{len(entries)}] {e['id']}: {verdict} "
              f"({time.monotonic() - started:.0f} s)", flush=True)

    tried = len(killed) + len(survivors)
    if tried:
        print(f"\n{len(killed)} of {tried} faults caught ({100.0 * len(killed) / tried:.1f} %)")
    for e in survivors:
        print(f"survived: [{e['id']}] {e['file']}: {e['why']}")
    for e in unbuilt:
        print(f"does not build (mend the entry): [{e['id']}] {e['file']}")
    if unbuilt:
        return 2
    return 1 if survivors else 0


if __name__ == "__main__":
    sys.exit(main())
