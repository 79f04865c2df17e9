#!/usr/bin/env python3
"""clang-tidy over the project's own sources, skipping files whose findings are already known.

    python3 scripts/tidy-cached.py BUILD_DIR [-j N]

Runs clang-tidy-14 with the project's .clang-tidy on every .cpp of src/, app/ and helper/ in
BUILD_DIR's compile commands. A file's findings are kept in the user's cache folder
($XDG_CACHE_HOME/halvern-tidy, else ~/.cache/halvern-tidy) under a key made of clang-tidy's
version, the .clang-tidy file, the file's compile command and the contents of every file it
includes (as ninja recorded them when it compiled the file), paths inside the checkout taken
relative to it, so that another clone of the same sources reuses the findings: a file is checked again only when one
of those changed, so a run after a small change checks only what the change reaches. Prints the
findings of every file, cached or not, and exits 1 when there is one.
"""

import argparse
import concurrent.futures
import hashlib
import json
import os
import re
import shlex
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OWN = re.compile(r"^" + re.escape(ROOT) + r"/(src|app|helper)/.*\.cpp$")
TIDY = "clang-tidy-14"
FINDING = re.compile(r"(error|warning): ")


def cache_folder():
    base = os.environ.get("XDG_CACHE_HOME") or os.path.join(os.path.expanduser("~"), ".cache")
    return os.path.join(base, "halvern-tidy")


def object_of(command):
    words = shlex.split(command)
    for i, word in enumerate(words[:-1]):
        if word == "-o":
            return words[i + 1]
    return None


def ninja_deps(build):
    """Every object's recorded includes, by object path relative to the build folder."""
    out = subprocess.run(["ninja", "-C", build, "-t", "deps"], capture_output=True, text=True,
                         check=True).stdout
    deps, current = {}, None
    for line in out.splitlines():
        if not line.startswith(" ") and ": #deps" in line:
            current = line.split(": #deps")[0]
            deps[current] = []
        elif line.startswith("    ") and current is not None:
            deps[current].append(line.strip())
    return deps


class Hashes:
    """File contents hashed once per run."""

    def __init__(self):
        self.known = {}

    def of(self, path):
        if path not in self.known:
            try:
                with open(path, "rb") as handle:
                    self.known[path] = hashlib.sha256(handle.read()).hexdigest()
            except OSError:
                self.known[path] = "missing"
        return self.known[path]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("-j", type=int, default=os.cpu_count() or 1)
    parser.add_argument("--only", default="", help="check only sources whose path has this")
    args = parser.parse_args()
    build = os.path.abspath(args.build)

    with open(os.path.join(build, "compile_commands.json")) as handle:
        entries = [e for e in json.load(handle) if OWN.match(os.path.abspath(e["file"])) and
                   args.only in e["file"]]
    deps = ninja_deps(build)
    version = subprocess.run([TIDY, "--version"], capture_output=True, text=True).stdout
    hashes = Hashes()
    common = hashlib.sha256((version + hashes.of(os.path.join(ROOT, ".clang-tidy"))).encode())
    folder = cache_folder()
    os.makedirs(folder, exist_ok=True)

    jobs = []
    for entry in entries:
        source = os.path.abspath(entry["file"])
        key = common.copy()
        # Paths inside the checkout count relative to it, so another clone of the same sources
        # finds the same findings.
        key.update(entry["command"].replace(ROOT, "<root>").encode())
        key.update(hashes.of(source).encode())
        obj = object_of(entry["command"])
        recorded = deps.get(obj) if obj else None
        if recorded is None:
            key.update(b"no-deps")  # never compiled: its findings cannot be reused safely
            key.update(os.urandom(8))
        else:
            for dep in recorded:
                path = os.path.normpath(os.path.join(entry["directory"], dep))
                key.update(path.replace(ROOT, "<root>").encode() + hashes.of(path).encode())
        jobs.append((source, os.path.join(folder, key.hexdigest())))

    def check(job):
        source, cached = job
        if os.path.exists(cached):
            with open(cached, errors="replace") as handle:
                return source, handle.read(), True
        result = subprocess.run([TIDY, "-quiet", "-p", build, source], capture_output=True,
                                text=True, errors="replace")
        text = result.stdout + result.stderr
        if result.returncode != 0 and not FINDING.search(text):
            # clang-tidy itself failed: say so, and keep nothing for next time.
            return source, text + f"\nerror: clang-tidy exited with {result.returncode}", False
        with open(cached + ".tmp", "w") as handle:
            handle.write(text)
        os.replace(cached + ".tmp", cached)
        return source, text, False

    findings, fresh = 0, 0
    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, args.j)) as pool:
        for source, text, from_cache in pool.map(check, jobs):
            fresh += 0 if from_cache else 1
            lines = [line for line in text.splitlines() if FINDING.search(line)]
            if lines:
                findings += len(lines)
                print("\n".join(lines))
    print(f"tidy-cached: {len(jobs)} files, {fresh} checked, {len(jobs) - fresh} from the cache, "
          f"{findings} finding(s)")
    return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main())
