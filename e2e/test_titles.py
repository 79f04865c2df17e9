"""Windows closed by their title on a real X display, with windows of our own test program."""

import os
import subprocess
import time

from harness import check, log, read_ini, start_and_settle, wait_until
from registry import test

# The user's title list: the program reads it instead of the shipped one.
ENTRIES = ["Casino Prize", "Gewinnspiel für", "Ünïcödé Gewinn", "Popup"]
CLOSE_TIMEOUT = 3.0


def write_title_list(sandbox, entries):
    lines = ["[DomainCount]", f"N={len(entries)}", "[Domains]"]
    lines += [f"D{i}={entry}" for i, entry in enumerate(entries)]
    with open(sandbox.data_file("usertitles.ini"), "wb") as handle:
        handle.write(("\r\n".join(lines) + "\r\n").encode("utf-8"))


def test_window_program(sandbox):
    program = os.path.join(os.path.dirname(os.path.abspath(sandbox.app_source)), "testbin",
                           "zorvik_testwindow")
    check(os.access(program, os.X_OK), f"{program} is missing: build the tests first")
    return program


class TestWindow:
    """One zorvik_testwindow with the given options; knows whether it is still running."""

    def __init__(self, sandbox, label, *options):
        self.label = label
        self.output = os.path.join(sandbox.work, f"window-{label}.out")
        self.process = subprocess.Popen(
            [test_window_program(sandbox), "--exit-after", "60000", *options], env=sandbox.env,
            stdout=open(self.output, "wb"), stderr=subprocess.STDOUT)
        sandbox._processes.append(self.process)

    def lines(self):
        with open(self.output, errors="replace") as handle:
            return handle.read().splitlines()

    def shown(self):
        return any(line.startswith("window 0x") for line in self.lines())

    def running(self):
        return self.process.poll() is None

    def close_requests(self):
        return self.lines().count("close request")


@test("titles_closed_by_title")
def titles_closed_by_title(sandbox):
    """Matching windows close within 3 s and are counted once each; the rest stay: other titles,
    a browser's main window, and Zorvik's own settings window although "Popup" matches it."""
    sandbox.start_window_manager()
    write_title_list(sandbox, ENTRIES)
    app = start_and_settle(sandbox)
    check(app.main_windows(), "the settings window is not shown" + app.log_tail())
    before = int((read_ini(sandbox.ini) or {}).get("settings", {}).get("ntotblocked", "0") or 0)

    # (label, options, closed?)
    cases = [
        ("plain", ["--title", "Big Casino Prize inside"], True),
        ("other", ["--title", "Harmless notes.txt - Editor"], False),
        ("utf8", ["--title", "Ihr Ünïcödé Gewinn wartet"], True),
        ("latin1", ["--title", "Gewinnspiel für Sie", "--encoding", "latin1"], True),
        ("compound", ["--title", "CASINO PRIZE (compound)", "--encoding", "compound"], True),
        ("retitled", ["--title", "Loading...", "--retitle", "Casino Prize later",
                      "--retitle-after", "1500"], True),
        ("browser-main", ["--title", "Casino Prize - Chromium", "--class", "Chromium",
                          "--role", "browser"], False),
        ("browser-popup", ["--title", "Casino Prize offer", "--class", "Chromium",
                           "--role", "pop-up"], True),
    ]
    windows = {}
    for label, options, _ in cases:
        windows[label] = TestWindow(sandbox, label, *options)
    stubborn = TestWindow(sandbox, "stubborn", "--title", "Casino Prize forever", "--ignore-close")
    everyone = list(windows.values()) + [stubborn]
    check(wait_until(lambda: all(w.shown() or not w.running() for w in everyone), 10),
          "a test window did not show: " + ", ".join(w.label for w in everyone if not w.shown()))
    started = time.monotonic()

    for label, _, closed in cases:
        window = windows[label]
        if closed:
            # The retitled window only matches once its new title is set.
            limit = CLOSE_TIMEOUT + (1.5 if label == "retitled" else 0)
            check(wait_until(lambda w=window: not w.running(), limit),
                  f"the {label} window is still open {limit:.1f} s after it showed: "
                  f"{window.lines()}" + app.log_tail())
            check(window.close_requests() == 1, f"{label}: {window.lines()}")
    log(f"matching windows closed within {time.monotonic() - started:.2f} s")

    # Walks go on at least every half second: what is left open now stays open, asked once.
    time.sleep(3)
    for label, _, closed in cases:
        if not closed:
            check(windows[label].running(), f"the {label} window was closed")
            check(windows[label].close_requests() == 0,
                  f"the {label} window was asked to close: {windows[label].lines()}")
    check(stubborn.running(), "the window that ignores close requests went away")
    check(stubborn.close_requests() == 1,
          f"the stubborn window was asked {stubborn.close_requests()} times, not once")
    check(app.alive() and app.main_windows(),
          "Zorvik's own settings window was closed by the entry 'Popup'" + app.log_tail())

    check(app.terminate() is not None, "zorvik did not end on SIGTERM" + app.log_tail())
    after = int((read_ini(sandbox.ini) or {}).get("settings", {}).get("ntotblocked", "0") or 0)
    closed_count = sum(1 for _, _, closed in cases if closed) + 1  # the stubborn one, once
    check(after - before == closed_count,
          f"{after - before} blocked popups counted, not {closed_count}")
    return f"{closed_count} windows closed or asked once, 3 kept"
