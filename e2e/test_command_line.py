"""The command line: --help and --version answer and touch nothing; other arguments are refused."""

import os
import subprocess

import xwindows
from harness import CAPTION_REGEX, check, log
from registry import test


def run_zorvik(sandbox, *args, display=True):
    """Runs the program copy to its end; returns (exit code, stdout, stderr)."""
    env = dict(sandbox.env)
    if not display:
        env.pop("DISPLAY", None)
        env.pop("QT_QPA_PLATFORM", None)
    result = subprocess.run([os.path.join(sandbox.app_dir, "zorvik"), *args], cwd=sandbox.work,
                            env=env, stdin=subprocess.DEVNULL, capture_output=True, text=True,
                            timeout=20)
    return result.returncode, result.stdout, result.stderr


def snapshot(sandbox):
    with open(sandbox.hosts, "rb") as handle:
        hosts = handle.read()
    etc = sorted(name for name in os.listdir("/etc") if name.startswith("hosts"))
    runtime = sorted(os.listdir(sandbox.env["XDG_RUNTIME_DIR"]))
    return sandbox.app_files(), sandbox.config_files(), sandbox.data_files(), hosts, etc, runtime


@test("command_line")
def command_line(sandbox):
    """--help, -h and --version print on stdout and exit 0 without a display, starting nothing
    and writing nothing; unknown arguments and Qt options without a value exit 2."""
    before = snapshot(sandbox)
    version = "4.2.8"  # the version of the main caption and of the project
    cases = [
        (["--help"], 0, "Usage: zorvik", ""),
        (["-h"], 0, "Usage: zorvik", ""),
        (["--version"], 0, f"Zorvik {version}\n", ""),
        (["--bogus"], 2, "", "unknown argument '--bogus'"),
        (["run"], 2, "", "unknown argument 'run'"),
        (["-v"], 2, "", "unknown argument '-v'"),
        (["--help", "extra"], 2, "", "unknown argument 'extra'"),
        (["-platform"], 2, "", "option '-platform' needs a value"),
        (["-platform", ""], 2, "", "option '-platform' needs a value"),
        (["--display="], 2, "", "needs a value"),
    ]
    for args, code, out, err in cases:
        got = run_zorvik(sandbox, *args, display=False)
        log(f"zorvik {' '.join(args)}: exit {got[0]}")
        check(got[0] == code, f"zorvik {' '.join(args)} exited {got[0]}, not {code}: {got[2]!r}")
        if code == 0:
            check(got[1].startswith(out) if out.startswith("Usage") else got[1] == out,
                  f"zorvik {' '.join(args)} printed {got[1][:200]!r}")
            check(got[2] == "", f"zorvik {' '.join(args)} wrote to stderr: {got[2]!r}")
        else:
            check(got[1] == "", f"zorvik {' '.join(args)} wrote to stdout: {got[1]!r}")
            check(err in got[2] and "--help" in got[2],
                  f"zorvik {' '.join(args)} said {got[2]!r} on stderr")
        check(snapshot(sandbox) == before, f"zorvik {' '.join(args)} changed files")
    usage = run_zorvik(sandbox, "--help", display=False)[1]
    for option in ("--version", "-platform", "-display", "-style"):
        check(option in usage, f"the usage text does not mention {option}")
    check(not xwindows.search(name_regex=CAPTION_REGEX), "a window showed")


@test("qt_option_accepted")
def qt_option_accepted(sandbox):
    """Qt's own -display option, in its two-dash form with an equals sign, is handed to Qt."""
    display = sandbox.env["DISPLAY"]
    app = sandbox.launch(f"--display={display}")
    app.wait_main_window()
    check(app.alive(), "zorvik ended" + app.log_tail())
    code = app.terminate()
    check(code is not None and code >= 0, f"zorvik did not end cleanly on SIGTERM: {code}")
