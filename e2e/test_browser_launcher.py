"""The protected browser's launcher on its own, with a headful Chromium on the test's display and
test pages from a server in the test's own network namespace: popups no click led to are closed
before their first request, clicked ones open, and a second browser on the same profile is
refused."""

import os
import subprocess
import time

from browser_pages import (CHROMIUM, QUIET_PERIOD, REQUEST_TIMEOUT, START_TIMEOUT, PageServer,
                           launch, socket_path, window_named)
from harness import TestSkip, check, log, wait_until
from registry import test


@test("browser_launcher_alone")
def browser_launcher_alone(sandbox):
    """Without Zorvik: a popup opened while the page loads never makes a request and its opener
    goes on; a popup opened by a click opens; a second launcher on the same profile says the
    browser already runs there and starts nothing."""
    if not os.access(CHROMIUM, os.X_OK):
        raise TestSkip(CHROMIUM + " is not installed")
    sandbox.start_window_manager()
    server = PageServer()
    profile = os.path.join(sandbox.work, "profile")
    browser = launch(sandbox, profile, server.url("/onload/e1"), "launcher")

    check(wait_until(lambda: server.requested("/done/e1"), START_TIMEOUT),
          "the opener did not go on after its window.open: " + str(server.paths))
    time.sleep(QUIET_PERIOD)
    check(not server.requested("/pop/e1"), "the popup without a click made a request")
    log("popup on load cancelled before its first request")

    browser.terminate()
    check(browser.wait(timeout=30) == 0, "the launcher did not end with the browser's status 0")

    # Started again on the same profile: a popup a click opens, opens.
    browser = launch(sandbox, profile, server.url("/click/e2"), "launcher-again")
    clicked = wait_until(lambda: window_named("e2"), START_TIMEOUT)
    check(clicked and wait_until(lambda: server.requested("/click/e2"), REQUEST_TIMEOUT),
          "the click page did not load: " + str(server.paths))
    time.sleep(0.5)
    subprocess.run(["xdotool", "mousemove", "--window", clicked, "450", "400", "click", "1"],
                   check=True, timeout=10)
    check(wait_until(lambda: server.requested("/pop/e2"), REQUEST_TIMEOUT),
          "the clicked popup did not open: " + str(server.paths))
    check(wait_until(lambda: server.requested("/done/e2"), REQUEST_TIMEOUT),
          "the opener of the clicked popup did not go on")
    log("clicked popup opened")

    second = sandbox.start_helper(
        [os.path.join(sandbox.app_dir, "zorvik-browser"), "--user-data-dir=" + profile,
         server.url("/second")], "second", stdout=subprocess.DEVNULL)
    check(second.wait(timeout=30) == 3, "a second launcher on the profile did not exit with 3")
    with open(os.path.join(sandbox.work, "second.log"), errors="replace") as handle:
        said = handle.read()
    check("Chromium is already running on the profile " + profile in said, said)
    check(not server.requested("/second"), "the second launcher opened its page")

    browser.terminate()
    check(browser.wait(timeout=30) == 0, "the launcher did not end with the browser's status 0")
    check(not os.path.exists(socket_path(sandbox)), "the socket was left behind")
