#!/usr/bin/env python3
"""End-to-end tests of the real zorvik binary.

    python3 e2e/run.py [--app build/app] [-k NAME]... [-j N] [--keep] [--list]

Every test runs in its own private mount and network namespaces (as root, or as a mapped root
user where user namespaces are allowed) on its own Xvfb display with a tray host (and openbox as
window manager when the test asks for one: Sandbox.start_window_manager), against its own
copy of the program folder, with its own HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR, so -j N runs N
tests at a time without one seeing another. The machine's /etc/hosts and port 80 are never
touched. Prints one line per test and a closing
"N passed, M failed, K skipped" line; exits 1 when a test failed.
"""

import argparse
import concurrent.futures
import glob
import importlib
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import harness  # noqa: E402
# Every e2e/test_*.py registers its tests when imported: a new file needs no line here.
for _name in sorted(os.path.basename(p)[:-3] for p in glob.glob(os.path.join(HERE, "test_*.py"))):
    importlib.import_module(_name)
from registry import TESTS  # noqa: E402

TOOLS = ["unshare", "mount", "ip", "cp", "Xvfb", "trayer", "openbox", "xdotool", "xwininfo", "xprop",
         "curl"]
TEST_TIMEOUT = 150  # seconds for one test, all its program starts included


def run_inner(name, work, app):
    """Runs one test inside the namespaces and writes its verdict to work/result.json."""
    function = TESTS[name]
    reason = getattr(function, "pending_reason", None)
    try:
        with harness.Sandbox(work, app) as sandbox:
            figures = function(sandbox)
        # A test may return a line of measured figures, shown with its PASS.
        verdict = {"status": "pass", "detail": figures if isinstance(figures, str) else ""}
    except harness.TestSkip as skip:
        verdict = {"status": "skip", "detail": str(skip)}
    except harness.TestFailure as failure:
        verdict = {"status": "fail", "detail": str(failure)}
    except Exception:  # a fault of the harness or an unexpected state: show where
        verdict = {"status": "fail", "detail": traceback.format_exc()}
    if reason and verdict["status"] == "fail":
        verdict = {"status": "skip", "detail": f"{reason} ({verdict['detail'].splitlines()[0]})"}
    elif reason and verdict["status"] == "pass":
        verdict["detail"] = "passes: its pending mark can go"
    with open(os.path.join(work, "result.json"), "w") as handle:
        json.dump(verdict, handle)


def run_outer(name, app, keep):
    """Starts one test in fresh namespaces; returns (status, detail, seconds)."""
    work = tempfile.mkdtemp(prefix=f"zorvik-e2e-{name}-", dir="/tmp")
    command = ["unshare", "--mount", "--net", "--fork"]
    if os.geteuid() != 0:
        command.append("--map-root-user")
    command += [sys.executable, os.path.abspath(__file__), "--inner", name, "--work", work,
                "--app", app]
    started = time.monotonic()
    with open(os.path.join(work, "test.log"), "wb") as out:
        process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=out,
                                   stderr=subprocess.STDOUT, start_new_session=True)
        try:
            process.wait(timeout=TEST_TIMEOUT)
        except subprocess.TimeoutExpired:
            stop_group(process)
    seconds = time.monotonic() - started
    try:
        with open(os.path.join(work, "result.json")) as handle:
            verdict = json.load(handle)
    except (OSError, ValueError):
        verdict = {"status": "fail",
                   "detail": f"no verdict (timeout {TEST_TIMEOUT} s or harness crash, exit "
                             f"code {process.returncode})"}
    if verdict["status"] == "fail":
        verdict["detail"] += "\n" + tail(os.path.join(work, "test.log"))
        verdict["detail"] += f"\n  files kept in {work}"
    if verdict["status"] != "fail" and not keep:
        shutil.rmtree(work, ignore_errors=True)
    return verdict["status"], verdict["detail"], seconds


def stop_group(process):
    """Ends the test's whole process group: the namespace holder, Xvfb, the tray host, zorvik."""
    for sig, grace in ((signal.SIGTERM, 5), (signal.SIGKILL, 5)):
        try:
            os.killpg(process.pid, sig)
        except ProcessLookupError:
            return
        try:
            process.wait(timeout=grace)
            return
        except subprocess.TimeoutExpired:
            continue


def tail(path, lines=25):
    try:
        with open(path, errors="replace") as handle:
            text = handle.read().splitlines()[-lines:]
    except OSError:
        return ""
    return "  log:\n    " + "\n    ".join(text)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[1].strip())
    parser.add_argument("--app", default=os.path.join(os.path.dirname(HERE), "build", "app"),
                        help="the staged program folder (default: build/app)")
    parser.add_argument("-k", action="append", default=[], help="run tests whose name has this")
    parser.add_argument("-j", type=int, default=1, help="tests run at a time (default 1)")
    parser.add_argument("--keep", action="store_true", help="keep the folders of passed tests")
    parser.add_argument("--list", action="store_true", help="list the tests and leave")
    parser.add_argument("--inner", help=argparse.SUPPRESS)
    parser.add_argument("--work", help=argparse.SUPPRESS)
    args = parser.parse_args()
    app = os.path.abspath(args.app)

    if args.inner:
        run_inner(args.inner, args.work, app)
        return 0
    names = [n for n in TESTS if not args.k or any(k in n for k in args.k)]
    if args.list:
        print("\n".join(names))
        return 0

    problem = None
    if not os.access(os.path.join(app, "zorvik"), os.X_OK):
        problem = f"no executable {app}/zorvik: build the zorvik and stage_app targets first"
    missing = [tool for tool in TOOLS if not shutil.which(tool)]
    if missing:
        problem = f"missing tools {missing}: run scripts/setup-deps.sh"

    def one(name):
        if problem:
            return name, "fail", problem, 0.0
        return (name,) + run_outer(name, app, args.keep)

    counts = {"pass": 0, "fail": 0, "skip": 0}
    # Lines appear as tests finish; with -j 1 that is the order of the list.
    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, args.j)) as pool:
        for future in concurrent.futures.as_completed([pool.submit(one, n) for n in names]):
            name, status, detail, seconds = future.result()
            counts[status] += 1
            line = f"{status.upper():4}  {name} ({seconds:.1f} s)"
            print(line + (f": {detail}" if detail else ""), flush=True)
    print(f"{counts['pass']} passed, {counts['fail']} failed, {counts['skip']} skipped")
    return 1 if counts["fail"] or not names else 0


if __name__ == "__main__":
    sys.exit(main())
