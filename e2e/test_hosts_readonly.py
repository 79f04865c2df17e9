"""A read-only /etc/hosts, as a read-only bind mount in a container: every start says it cannot
write the file, nothing ever changes it, and a stop signal ends the program at once, without a box
about putting the user's file back."""

import os
import subprocess
import time

import xwindows
from harness import (EXIT_TIMEOUT, TestSkip, check, dismiss, log, set_ini_value,
                     start_and_settle, wait_until)
from registry import test

USER_HOSTS = (b"127.0.0.1\tlocalhost\n::1\tlocalhost ip6-localhost\n\n"
              b"# the user's own names\n10.20.30.40\tintranet.example\n192.0.2.7 printer.example")

# Words of the box and the status line that a failed restore at exit raises.
RESTORE_FAILURE = "could not put your own hosts file back"


def mount_read_only(path):
    """Binds the file over itself and makes that mount read-only; skips where that is refused."""
    bound = subprocess.run(["mount", "--bind", path, path], capture_output=True, text=True)
    if bound.returncode != 0:
        raise TestSkip(f"cannot bind-mount {path}: {bound.stderr.strip()}")
    remounted = subprocess.run(["mount", "-o", "remount,ro,bind", path], capture_output=True,
                               text=True)
    if remounted.returncode != 0:
        raise TestSkip(f"cannot make {path} read-only: {remounted.stderr.strip()}")
    try:
        with open(path, "r+b"):
            pass
    except OSError:
        return
    raise TestSkip(f"{path} is still writable after the read-only remount")


def hosts_bytes():
    with open("/etc/hosts", "rb") as handle:
        return handle.read()


def boxes_of(app):
    """The program's message boxes: windows titled with the service name alone."""
    # The search also matches the main window (its other name properties), so the title decides.
    windows = xwindows.search(name_regex="^Zorvik$", pid=app.pid)
    return [w for w in windows
            if xwindows.name(w) == "Zorvik" and (xwindows.size(w) or (0, 0))[0] > 80]


def answer_write_failures(app, count, timeout=20.0):
    """Answers the start's write-failure boxes, one after the other, until count were seen."""
    seen = 0
    deadline = time.monotonic() + timeout
    while seen < count and time.monotonic() < deadline:
        check(app.alive(), "zorvik ended during its start" + app.log_tail())
        for box in boxes_of(app):
            seen += 1
            log(f"box {seen}: {xwindows.name(box)!r}")
            check(dismiss(box), "the write-failure box did not close on Return")
        time.sleep(0.1)
    check(seen == count, f"{seen} write-failure boxes within {timeout:.0f} s, {count} expected"
          + app.log_tail())


def terminate_promptly(app, what):
    sent = time.monotonic()
    code = app.terminate(timeout=EXIT_TIMEOUT)
    check(code is not None, f"zorvik still runs {EXIT_TIMEOUT:.0f} s after SIGTERM {what}"
          + app.log_tail())
    log(f"ended {time.monotonic() - sent:.2f} s after SIGTERM {what}, exit code {code}")
    check(code >= 0, f"zorvik was killed by signal {-code} instead of handling SIGTERM")
    with open(app.log_path, errors="replace") as handle:
        output = handle.read()
    check(RESTORE_FAILURE not in output,
          f"the exit tried and failed to put the user's hosts file back {what}" + app.log_tail())


@test("hosts_read_only")
def hosts_read_only(sandbox):
    """Blocking on, /etc/hosts read-only: two write-failure boxes at each start, the file byte
    for byte as it was, and SIGTERM ends the program without a restore box, also while one of the
    start's boxes is still open."""
    with open("/etc/hosts", "wb") as handle:
        handle.write(USER_HOSTS)
    mount_read_only("/etc/hosts")

    # The first start turns start-with-session on, so its exit leaves the file alone anyway.
    app = start_and_settle(sandbox)
    answer_write_failures(app, 2)
    check(open("/etc/hostszvb", "rb").read() == USER_HOSTS,
          "/etc/hostszvb is not the user's hosts file byte for byte")
    terminate_promptly(app, "after the first start")
    check(hosts_bytes() == USER_HOSTS, "/etc/hosts changed")

    # Without start-with-session the exit would put the user's file back: it already is.
    set_ini_value(sandbox.ini, "Settings", "bStartup", "False")
    app = sandbox.launch()
    answer_write_failures(app, 2)
    time.sleep(0.5)
    terminate_promptly(app, "with start-with-session off")
    check(not boxes_of(app), "a box of the ended program is still shown")
    check(hosts_bytes() == USER_HOSTS, "/etc/hosts changed")
    check(not os.path.exists("/etc/hostszvf"), "a parked copy was made of the user's own file")

    # SIGTERM while the start's first box waits for an answer.
    app = sandbox.launch()
    check(wait_until(lambda: boxes_of(app) or not app.alive(), 20) and app.alive(),
          "no write-failure box appeared" + app.log_tail())
    time.sleep(0.3)
    terminate_promptly(app, "while a write-failure box was open")
    check(not boxes_of(app), "a box of the ended program is still shown")
    check(hosts_bytes() == USER_HOSTS, "/etc/hosts changed")
    check(open("/etc/hostszvb", "rb").read() == USER_HOSTS, "/etc/hostszvb changed")
