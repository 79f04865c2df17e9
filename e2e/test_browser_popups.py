"""Zorvik with the protected browser: Zorvik started and settled, then the launcher with a headful
Chromium on the test's display, test pages from a server in the test's own network namespace that
logs every request, clicks and keys by XTest. Popups nobody asked for are cancelled before their
first request and counted; popups the user opened arrive; the browser outlives a Zorvik killed
under it and takes the next Zorvik back."""

import os
import secrets
import signal
import time

from browser_pages import (CHROMIUM, QUIET_PERIOD, REQUEST_TIMEOUT, START_TIMEOUT, PageServer,
                           click, launch, launcher_said, window_named, zorvik_connected)
from harness import TestSkip, check, log, read_ini, start_and_settle, wait_until
from registry import test

CONNECT_TIMEOUT = 30.0  # Zorvik tries the launcher's socket every 2 s
# After a popup that opened has closed itself, new windows are blocked for 1.5 s (a closing
# browser window's popups); the next case waits that out.
CLOSING_RULE = 2.0
LAUNCHER = "launcher"
ALONE = "cancelled a popup without a user gesture"  # the launcher deciding without Zorvik
# Zorvik's first 2.5 s count as a double click's grace, in which every popup is allowed.
START_GRACE = 2.5


def blocked_total(sandbox):
    """nTotBlocked of the settings file, 0 while it is not written."""
    settings = (read_ini(sandbox.ini) or {}).get("settings", {})
    return int(settings.get("ntotblocked", "0") or 0)


def unique(kind):
    """A page id no other page of the run has, and not the beginning of another one."""
    return f"{kind}{secrets.token_hex(4)}x"


class Browsing:
    """The page server and the launcher's Chromium, with the Zorvik that follows it."""

    def __init__(self, sandbox, app):
        if not os.access(CHROMIUM, os.X_OK):
            raise TestSkip(CHROMIUM + " is not installed")
        self.sandbox = sandbox
        self.app = app
        self.server = PageServer()
        start = unique("start")
        self.browser = launch(sandbox, os.path.join(sandbox.work, "profile"),
                              self.server.url(f"/start/{start}"), LAUNCHER)
        check(wait_until(lambda: window_named(start), START_TIMEOUT),
              "the browser did not show its first page: " + str(self.server.paths))
        self.wait_connected()

    def wait_connected(self):
        check(wait_until(lambda: zorvik_connected(self.sandbox), CONNECT_TIMEOUT),
              "Zorvik did not connect to the launcher" + self.app.log_tail())
        # The launcher greets it and replays the pages it has; Zorvik follows them from there.
        time.sleep(1.0)
        log("Zorvik connected to the launcher")

    def show(self, kind, page_id):
        """Moves the browser to /<kind>/<id>; returns its window once the page is in front."""
        path = f"/{kind}/{page_id}"
        self.server.go(path)
        check(wait_until(lambda: self.server.requested(path), REQUEST_TIMEOUT),
              f"the browser did not go to {path}: {self.server.paths}")
        window = wait_until(lambda: window_named(page_id), REQUEST_TIMEOUT)
        check(window, f"the page {path} did not come to the front")
        return window

    def expect_cancelled(self, kind):
        """A page of that kind opens its popup by itself: the opener goes on, the popup never
        makes a request."""
        page_id = unique(kind)
        self.show(kind, page_id)
        check(wait_until(lambda: self.server.requested(f"/done/{page_id}"), REQUEST_TIMEOUT),
              f"{kind}: the opener did not go on after its window.open: {self.server.paths}")
        time.sleep(QUIET_PERIOD)
        check(not self.server.requested(f"/pop/{page_id}"),
              f"{kind}: the popup nobody asked for made a request: {self.server.paths}")
        log(f"{kind}: popup cancelled before its first request")

    def expect_allowed(self, kind, *steps):
        """The user clicks into a page of that kind (steps: the xdotool commands of the click):
        its popup's request arrives, the popup closes itself and its opener is in front again."""
        page_id = unique(kind)
        window = self.show(kind, page_id)
        time.sleep(0.5)
        click(window, *steps)
        check(wait_until(lambda: self.server.requested(f"/pop/{page_id}"), REQUEST_TIMEOUT),
              f"{kind}: the popup the user opened made no request: {self.server.paths}"
              + self.app.log_tail())
        log(f"{kind}: popup opened")
        self.settle(page_id)

    def settle(self, page_id):
        """Waits until the opener is in front again, and out of the closing-window rule."""
        check(wait_until(lambda: window_named(page_id), REQUEST_TIMEOUT),
              f"the popups of {page_id} did not close themselves")
        time.sleep(CLOSING_RULE)

    def launcher_decisions(self):
        return launcher_said(self.sandbox, LAUNCHER, ALONE)


@test("browser_popups_unwanted")
def browser_popups_unwanted(sandbox):
    """Popups opened while the page loads, from a timer 300 ms after the load and by a form the
    page sends itself, all without a click: cancelled by Zorvik (not by the launcher) before
    their first request, and each counted in nTotBlocked."""
    sandbox.start_window_manager()
    app = start_and_settle(sandbox)
    before = blocked_total(sandbox)
    browsing = Browsing(sandbox, app)

    kinds = ["onload", "timer", "autoform"]
    for kind in kinds:
        browsing.expect_cancelled(kind)
    check(browsing.launcher_decisions() == 0,
          "the launcher decided a popup while Zorvik was connected")

    check(app.terminate() is not None, "zorvik did not end on SIGTERM" + app.log_tail())
    counted = blocked_total(sandbox) - before
    check(counted == len(kinds), f"{counted} blocked popups counted, not {len(kinds)}")
    return f"{len(kinds)} popups cancelled without a request, counted"


@test("browser_popups_clicked")
def browser_popups_clicked(sandbox):
    """Popups the user opened: from a click handler, from a press handler, by a 3 ms tap, by a
    link to a new window and by a form's button sending to a new window: each arrives."""
    sandbox.start_window_manager()
    app = start_and_settle(sandbox)
    browsing = Browsing(sandbox, app)

    cases = [
        ("click", ()),
        ("mousedown", ()),
        # A press and release 3 ms apart, well inside one 50 ms poll.
        ("click", ("mousedown", "1", "sleep", "0.003", "mouseup", "1")),
        ("link", ()),
        ("submit", ()),
    ]
    for kind, steps in cases:
        browsing.expect_allowed(kind, *steps)
    check(app.alive(), "zorvik ended" + app.log_tail())
    return f"{len(cases)} clicked popups opened"


@test("browser_popups_burst_and_ctrl")
def browser_popups_burst_and_ctrl(sandbox):
    """A click on a page that opens 100 windows in a loop lets exactly the first through and
    cancels the other 99 (each counted), and the opener's script goes on; a click with Ctrl held
    lets both windows of a page that opens two through."""
    sandbox.start_window_manager()
    app = start_and_settle(sandbox)
    before = blocked_total(sandbox)
    browsing = Browsing(sandbox, app)
    server = browsing.server

    page_id = unique("loop")
    click(browsing.show("loop", page_id))
    check(wait_until(lambda: server.requested(f"/done/{page_id}"), REQUEST_TIMEOUT),
          "the opener of 100 popups did not go on: " + str(server.paths[-5:]) + app.log_tail())
    time.sleep(QUIET_PERIOD)
    opened = server.requested_under(f"/pop/{page_id}-")
    check(opened == [f"/pop/{page_id}-0"],
          f"not exactly the first of 100 popups opened: {opened}")
    browsing.settle(page_id)
    log("one of 100 popups opened, the opener went on")

    page_id = unique("two")
    click(browsing.show("two", page_id), "keydown", "ctrl", "click", "1", "keyup", "ctrl")
    for suffix in ("a", "b"):
        check(wait_until(lambda s=suffix: server.requested(f"/pop/{page_id}-{s}"),
                         REQUEST_TIMEOUT),
              f"popup {suffix} of a Ctrl-click did not open: {server.paths}" + app.log_tail())
    log("both popups of a Ctrl-click opened")

    check(app.terminate() is not None, "zorvik did not end on SIGTERM" + app.log_tail())
    counted = blocked_total(sandbox) - before
    check(counted == 99, f"{counted} blocked popups counted, not 99")
    return "1 of 100 popups opened, 99 cancelled; 2 of 2 with Ctrl"


def kill_while_held(sandbox, browsing):
    """Stops Zorvik, has a page open a popup it then holds, kills Zorvik; returns the page's id
    once its opener's script has gone on without Zorvik."""
    server = browsing.server
    app = browsing.app
    # A stopped Zorvik answers nothing: the popup stays held and its opener waits in window.open.
    os.kill(app.pid, signal.SIGSTOP)
    page_id = unique("held")
    server.go(f"/onload/{page_id}")
    check(wait_until(lambda: server.requested(f"/onload/{page_id}"), REQUEST_TIMEOUT),
          "the browser did not go to the next page: " + str(server.paths))
    time.sleep(3.0)
    check(not server.requested(f"/done/{page_id}"),
          "the popup was not held for the stopped Zorvik: its opener went on")
    app.kill()
    log("Zorvik killed while a popup was held")
    check(wait_until(lambda: server.requested(f"/done/{page_id}"), REQUEST_TIMEOUT),
          "the opener of the held popup did not go on once Zorvik was gone")
    check(wait_until(lambda: browsing.launcher_decisions() == 1, REQUEST_TIMEOUT),
          "the launcher did not cancel the held popup itself")
    check(wait_until(lambda: not zorvik_connected(sandbox), REQUEST_TIMEOUT),
          "the launcher still holds a connection to the killed Zorvik")
    return page_id


@test("browser_popups_zorvik_killed")
def browser_popups_zorvik_killed(sandbox):
    """Zorvik killed while it holds a popup: the launcher takes the popup over and its opener's
    script goes on; the browser goes on showing pages; a Zorvik started again connects, cancels
    the next popup nobody asked for before its first request and counts it."""
    sandbox.start_window_manager()
    app = start_and_settle(sandbox)
    browsing = Browsing(sandbox, app)
    browsing.expect_cancelled("onload")
    check(browsing.launcher_decisions() == 0,
          "the launcher decided a popup while Zorvik was connected")
    kill_while_held(sandbox, browsing)
    page_id = unique("start")
    browsing.show("start", page_id)

    before = blocked_total(sandbox)
    again = sandbox.launch()
    again.wait_main_window()
    shown = time.monotonic()
    browsing.app = again
    browsing.wait_connected()
    time.sleep(max(0.0, shown + START_GRACE + 1.0 - time.monotonic()))
    browsing.expect_cancelled("onload")
    check(browsing.launcher_decisions() == 1,
          "the launcher decided a popup while the new Zorvik was connected")
    check(again.terminate() is not None, "zorvik did not end on SIGTERM" + again.log_tail())
    counted = blocked_total(sandbox) - before
    check(counted == 1, f"the Zorvik started again counted {counted} blocked popups, not 1")
    return "held popup taken over by the launcher; Zorvik reconnected and counted"


@test("browser_popups_zorvik_gone")
def browser_popups_zorvik_gone(sandbox):
    """Once Zorvik is killed the launcher alone keeps the browser safe: the popup Zorvik held
    and the popups of five pages opened while they load never make a request."""
    sandbox.start_window_manager()
    app = start_and_settle(sandbox)
    browsing = Browsing(sandbox, app)
    held = kill_while_held(sandbox, browsing)
    time.sleep(QUIET_PERIOD)
    check(not browsing.server.requested(f"/pop/{held}"), "the held popup made a request")
    pages = 5
    for _ in range(pages):
        browsing.expect_cancelled("onload")
    check(browsing.launcher_decisions() == 1 + pages,
          f"the launcher said it cancelled {browsing.launcher_decisions()} popups, not "
          f"{1 + pages}")
    return f"{1 + pages} popups cancelled by the launcher alone"
