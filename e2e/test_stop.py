"""Stop signals at awkward moments: before the program is ready, and while a box is open."""

import os
import signal
import time

import xwindows
from harness import FIRST_START_BOX_REGEX, check, log, wait_until
from registry import test


@test("term_during_first_box")
def term_during_first_box(sandbox):
    """SIGTERM while the first start's first box waits for an answer ends the program at once and
    closes the box."""
    app = sandbox.launch()
    app.wait_main_window()
    box = wait_until(lambda: xwindows.search(name_regex="Message 1 of 3$"), 15)
    check(box, 'the first start showed no "Message 1 of 3" box' + app.log_tail())
    time.sleep(0.3)
    sent = time.monotonic()
    code = app.terminate(timeout=5)
    took = time.monotonic() - sent
    check(code is not None, "zorvik still runs 5 s after SIGTERM while its box was open"
          + app.log_tail())
    log(f"ended {took:.2f} s after SIGTERM with exit code {code}")
    check(code >= 0, f"zorvik was killed by signal {-code} instead of handling SIGTERM")
    check(not xwindows.search(name_regex=FIRST_START_BOX_REGEX),
          "a first-start box is still on screen after the program ended")


def signal_held_or_caught(pid, sig):
    """True once the process holds the signal back or has a handler for it: its own code runs."""
    try:
        with open(f"/proc/{pid}/status") as handle:
            status = dict(line.split(":", 1) for line in handle if ":" in line)
    except OSError:
        return False
    bit = 1 << (sig - 1)
    return any(int(status.get(key, "0").strip(), 16) & bit for key in ("SigBlk", "SigCgt"))


@test("term_at_launch")
def term_at_launch(sandbox):
    """A stop signal in the first moments, from the time the program's own code runs and before
    its window shows, is handled, not fatal: the process ends by itself and leaves the hosts file
    alone. (No program can handle a signal while the system still loads its libraries.)"""
    with open(sandbox.hosts, "rb") as handle:
        hosts_before = handle.read()
    for sig, delay in ((signal.SIGTERM, 0.0), (signal.SIGINT, 0.05), (signal.SIGHUP, 0.3)):
        app = sandbox.launch()
        check(wait_until(lambda: signal_held_or_caught(app.pid, sig) or not app.alive(), 10,
                         interval=0.002), f"zorvik never took {sig.name} in hand")
        log(f"{sig.name} in hand {app.elapsed():.3f} s after launch")
        time.sleep(delay)
        code = app.terminate(timeout=10, sig=sig)
        log(f"signal {sig.name} {delay:.2f} s later: exit code {code}")
        check(code is not None, f"zorvik still runs 10 s after {sig.name}" + app.log_tail())
        check(code >= 0, f"{sig.name} {delay:.2f} s after the start killed zorvik unhandled "
              f"(signal {-code})" + app.log_tail())
        # A stop that came before the load leaves nothing; one during the load runs the exit,
        # which saves the settings: either way no box stays and the hosts file is untouched.
        check(not xwindows.search(name_regex=FIRST_START_BOX_REGEX), "a box stayed on screen")
        with open(sandbox.hosts, "rb") as handle:
            check(handle.read() == hosts_before, f"/etc/hosts changed after {sig.name}")
        check(not os.path.exists(sandbox.hosts + "zvb"), "a hosts backup was made")


@test("term_during_install_failure_box")
def term_during_install_failure_box(sandbox):
    """SIGTERM while the load's own box ("Install failure", shown before the loop runs) is open
    closes the box and ends the program at once, saving nothing, as answering the box would."""
    os.remove(os.path.join(sandbox.app_dir, "1by1.jpg"))
    with open(sandbox.hosts, "rb") as handle:
        hosts_before = handle.read()
    app = sandbox.launch()

    def install_box():
        return [w for w in xwindows.search(pid=app.pid) if (xwindows.size(w) or (0, 0))[0] > 80]

    box = wait_until(lambda: install_box() or not app.alive(), 20)
    check(app.alive() and box, "no install-failure box appeared" + app.log_tail())
    log(f"box {xwindows.name(box[0])!r}")
    time.sleep(0.3)
    code = app.terminate(timeout=5)
    check(code is not None, "zorvik still runs 5 s after SIGTERM while its load showed a box"
          + app.log_tail())
    log(f"exit code {code}")
    check(code >= 0, f"zorvik was killed by signal {-code} instead of handling SIGTERM")
    check(not xwindows.search(pid=app.pid), "a window of the ended program is still shown")
    check(not os.path.exists(sandbox.ini), "zorvik.ini was written")
    with open(sandbox.hosts, "rb") as handle:
        check(handle.read() == hosts_before, "/etc/hosts was changed")
