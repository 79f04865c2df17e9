#!/usr/bin/env python3
"""Keeps the layers of src/ pointing one way.

A file may include headers of its own folder and of the layers below its own, never above; the
behaviour (every layer but the Qt views and the real backends) includes only the standard library;
and every source file of src/ and helper/ is listed in its folder's CMakeLists.txt, so none is
silently left out of the build. zorvik-helper (helper/) sits beside src/: it may use the ground
floor, the platform interfaces and the Linux backends with POSIX headers, never Qt, curl or xcb;
of its headers only the wire protocol may be included from src/, and only by the Linux backends
(Zorvik's client). Prints each violation and exits 1 when there is one.
"""

import os
import re
import sys

# Lowest first. The subsystems share a rank: one may use another's public header.
RANKS = {"base": 0, "platform": 1, "forms": 2, "core": 3, "ui": 4,
         "adservers": 5, "popups": 5, "titles": 5, "spyware": 5, "system": 5,
         "program": 6, "gui": 7}
# Real and fake backends sit beside the interfaces: they use the interfaces and the ground floor,
# and only app/ and the tests pick one.
BACKENDS = {"platform/fake", "platform/linux", "platform/qt", "platform/x11", "platform/browser"}
OPEN_TO_THIRD_PARTY = {"gui"} | BACKENDS

STANDARD = set("""
algorithm any array atomic barrier bit bitset cassert cctype cerrno cfenv cfloat charconv chrono
cinttypes climits clocale cmath codecvt compare complex concepts condition_variable coroutine
csetjmp csignal cstdarg cstddef cstdint cstdio cstdlib cstring ctime cuchar cwchar cwctype deque
exception execution expected filesystem format forward_list fstream functional future
initializer_list iomanip ios iosfwd iostream istream iterator latch limits list locale map memory
memory_resource mutex new numbers numeric optional ostream queue random ranges ratio regex
scoped_allocator semaphore set shared_mutex source_location span sstream stack stdexcept
stop_token streambuf string string_view syncstream system_error thread tuple type_traits
typeindex typeinfo unordered_map unordered_set utility valarray variant vector version
""".split())

# What the helper may use from src/, and the one header of the helper that src/ may include.
HELPER_USES = {"base", "platform", "platform/linux"}
HELPER_SHARED = {"helper/Protocol.h"}
THIRD_PARTY_PREFIXES = ("Q", "xcb", "X11/", "curl/", "gtest/", "gmock/", "atspi")

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def layer_of(path):
    """The layer a path under src/ belongs to: a backend folder, or the top folder."""
    parts = path.split("/")
    if len(parts) >= 3 and "/".join(parts[:2]) in BACKENDS:
        return "/".join(parts[:2])
    return parts[0]


def allowed(source, target, header=""):
    if target == "helper":
        return source == "platform/linux" and header in HELPER_SHARED
    if source == target:
        return True
    if target in BACKENDS:
        return False
    if source in BACKENDS:
        return target in ("base", "platform")
    if source not in RANKS or target not in RANKS:
        return False
    return RANKS[target] < RANKS[source] or (RANKS[target] == RANKS[source] == 5)


def check_includes(root):
    problems = []
    src = os.path.join(root, "src")
    for folder, _, names in os.walk(src):
        for name in sorted(names):
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.relpath(os.path.join(folder, name), src)
            source = layer_of(path)
            with open(os.path.join(folder, name), encoding="utf-8") as handle:
                for number, line in enumerate(handle, 1):
                    match = INCLUDE.match(line)
                    if not match:
                        continue
                    kind, header = match.groups()
                    where = f"src/{path}:{number}"
                    if kind == '"':
                        target = layer_of(header)
                        if not allowed(source, target, header):
                            problems.append(f"{where}: {source} must not include \"{header}\"")
                    elif source not in OPEN_TO_THIRD_PARTY and header not in STANDARD:
                        problems.append(f"{where}: {source} is standard C++ only, not <{header}>")
    return problems


def check_helper(root):
    """helper/ includes only its own headers, what it may use of src/, and system headers."""
    problems = []
    folder = os.path.join(root, "helper")
    for name in sorted(os.listdir(folder)) if os.path.isdir(folder) else []:
        if not name.endswith((".h", ".cpp")):
            continue
        with open(os.path.join(folder, name), encoding="utf-8") as handle:
            for number, line in enumerate(handle, 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                kind, header = match.groups()
                where = f"helper/{name}:{number}"
                if kind == '"':
                    target = "helper" if header.startswith("helper/") else layer_of(header)
                    if target != "helper" and target not in HELPER_USES:
                        problems.append(f"{where}: the helper must not include \"{header}\"")
                elif header.startswith(THIRD_PARTY_PREFIXES):
                    problems.append(f"{where}: the helper is standard C++ and POSIX only, "
                                    f"not <{header}>")
    return problems


def check_listed(root):
    """Every .cpp of src/ and helper/ appears in the CMakeLists.txt of its folder."""
    problems = []
    src = os.path.join(root, "src")
    folders = list(os.walk(src)) + list(os.walk(os.path.join(root, "helper")))
    for folder, _, names in folders:
        sources = [n for n in names if n.endswith(".cpp")]
        if not sources:
            continue
        cmake = os.path.join(folder, "CMakeLists.txt")
        listed = open(cmake, encoding="utf-8").read() if os.path.exists(cmake) else ""
        for name in sorted(sources):
            if not re.search(r"(^|\s)" + re.escape(name) + r"(\s|\)|$)", listed):
                problems.append(f"{os.path.relpath(os.path.join(folder, name), root)}: "
                                f"not listed in {os.path.relpath(cmake, root)}")
    return problems


def main():
    root = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
    problems = check_includes(root) + check_helper(root) + check_listed(root)
    for problem in problems:
        print(problem)
    print(f"check-layers: {len(problems)} problem(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
