"""Start-up, single instance, exit and the missing-placeholder failure, on the real binary."""

import os
import time

import xwindows
from harness import (CAPTION, FIRST_START_KEYS, check, dismiss, finish_first_start, log,
                     missing_keys, read_ini, start_and_settle, wait_until)
from registry import test


@test("first_start")
def first_start(sandbox):
    """The window shows at once; 2.5 s later the first-start boxes come and zorvik.ini is written."""
    app = sandbox.launch()
    app.wait_main_window()
    log(f"window visible {app.elapsed():.2f} s after launch")
    check(not os.path.exists(sandbox.ini), "zorvik.ini was written during the load")

    box_after, titles, ini_after = finish_first_start(sandbox, app)
    check(box_after is not None, "the first start showed no information box")
    log(f"first box {box_after:.2f} s, complete zorvik.ini {ini_after:.2f} s after the window")
    check(titles == ["Firewalls and Parental Control programs. Message 1 of 3",
                     "Restart your Computer! Message 2 of 3"],
          f"first-start boxes were {titles}")
    check(1.5 <= box_after <= 6.0,
          f"the start-up timer ran {box_after:.2f} s after the window showed, not about 2.5 s")

    settings = read_ini(sandbox.ini)["settings"]
    expected = {
        "bstartup": "True",  # the first start turns start-with-session on
        "bblockadservers": "True",
        "bblockiepopups": "True",
        "bautodownload": "True",
        "bannersound": os.path.join(sandbox.app_dir, "ad.wav"),
        "popsound": os.path.join(sandbox.app_dir, "pop.wav"),
    }
    wrong = {k: settings.get(k) for k, v in expected.items() if settings.get(k) != v}
    check(not wrong, f"first-start settings differ from the defaults: {wrong}")
    check(app.alive(), "zorvik ended after its first start" + app.log_tail())


@test("single_instance")
def single_instance(sandbox):
    """A second copy leaves by itself without writing and the hidden first copy shows itself."""
    first = start_and_settle(sandbox)
    window = first.main_windows()[0]
    xwindows.request_close(window)
    check(wait_until(lambda: not first.main_windows(), 5),
          "closing the settings window did not hide it")
    time.sleep(0.5)
    check(first.alive(), "closing the settings window ended the program" + first.log_tail())

    with open(sandbox.ini, "rb") as handle:
        ini_before = handle.read()
    ini_mtime = os.stat(sandbox.ini).st_mtime_ns
    files_before = sandbox.app_files()
    config_before = sandbox.config_files()
    data_before = sandbox.data_files()
    with open(sandbox.hosts, "rb") as handle:
        hosts_before = handle.read()

    second = sandbox.launch()
    code = second.wait_exit(10)
    took = second.elapsed()
    log(f"second copy ended after {took:.2f} s with exit code {code}")
    check(code is not None, "the second copy is still running 10 s after its start")
    check(took <= 3.0, f"the second copy took {took:.2f} s to leave (about 0.7 s expected)")

    shown = wait_until(first.main_windows, 5)
    check(shown, "the running copy did not show its window when the second copy started")
    owners = {xwindows.pid_of(w) for w in shown}
    check(owners <= {first.pid, None}, f"the caption belongs to other processes: {owners}")

    with open(sandbox.ini, "rb") as handle:
        check(handle.read() == ini_before, "zorvik.ini changed when the second copy ran")
    check(os.stat(sandbox.ini).st_mtime_ns == ini_mtime, "zorvik.ini was rewritten")
    check(sandbox.app_files() == files_before, "files in the program folder changed")
    check(sandbox.config_files() == config_before, "the per-user settings changed")
    check(sandbox.data_files() == data_before, "the lists or the state changed")
    with open(sandbox.hosts, "rb") as handle:
        check(handle.read() == hosts_before, "/etc/hosts changed when the second copy ran")
    check(first.alive(), "the first copy ended" + first.log_tail())


@test("exit_saves")
def exit_saves(sandbox):
    """SIGTERM runs the exit: the program ends and writes zorvik.ini again."""
    app = start_and_settle(sandbox)
    os.remove(sandbox.ini)
    time.sleep(0.3)
    code = app.terminate()
    check(code is not None, "zorvik did not end within 10 s of SIGTERM")
    check(code >= 0, f"zorvik was killed by signal {-code} instead of handling SIGTERM")
    missing = missing_keys(sandbox.ini, FIRST_START_KEYS)
    check(not missing, f"the exit did not save the settings: zorvik.ini lacks {missing}"
          + app.log_tail())


@test("missing_placeholder")
def missing_placeholder(sandbox):
    """Without 1by1.jpg a message box appears, and closing it ends the program with nothing saved."""
    os.remove(os.path.join(sandbox.app_dir, "1by1.jpg"))
    with open(sandbox.hosts, "rb") as handle:
        hosts_before = handle.read()
    app = sandbox.launch()

    def message_box():
        for window in xwindows.search(pid=app.pid):
            size = xwindows.size(window)
            if xwindows.name(window) != CAPTION and size and size[0] > 80 and size[1] > 40:
                return window
        return None

    box = wait_until(lambda: message_box() or not app.alive(), 20)
    check(app.alive(), f"zorvik ended without a message box (exit code {app.process.returncode})"
          + app.log_tail())
    check(box, "no message box appeared" + app.log_tail())
    log(f"message box {xwindows.name(box)!r}")
    time.sleep(1.0)
    check(app.alive(), "zorvik ended while its message box was still open")
    check(dismiss(box), "the message box did not close")
    check(app.wait_exit(10) is not None, "zorvik still runs after its message box was closed")

    check(not os.path.exists(sandbox.ini), "zorvik.ini was written")
    with open(sandbox.hosts, "rb") as handle:
        check(handle.read() == hosts_before, "/etc/hosts was changed")
    check(not os.path.exists(sandbox.hosts + "zvb"), "a hosts backup was made")

