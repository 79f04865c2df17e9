"""The protected browser's launcher on its own, with a headful Chromium on the test's display and
test pages from a server in the test's own network namespace: popups no click led to are closed
before their first request, clicked ones open, and a second browser on the same profile is
refused."""

import http.server
import os
import subprocess
import threading
import time

from harness import TestSkip, check, log, wait_until
from registry import test

CHROMIUM = "/usr/bin/chromium"
START_TIMEOUT = 60.0  # a cold Chromium under Xvfb on a busy machine
REQUEST_TIMEOUT = 20.0
# Long enough for a popup that was let through to make its first request.
QUIET_PERIOD = 2.0

PAGES = {
    "onload": "<title>{name}</title><script>window.open('/pop/{name}');"
              "fetch('/done/{name}');</script>opener",
    "click": "<title>{name}</title><button style='position:fixed;left:0;top:0;width:100%;"
             "height:100%' onclick=\"window.open('/pop/{name}'); fetch('/done/{name}')\">open"
             "</button>",
}


class PageServer:
    """Serves the test pages on loopback and remembers every path asked for."""

    def __init__(self):
        self.paths = []
        lock = threading.Lock()
        paths = self.paths

        class Pages(http.server.BaseHTTPRequestHandler):
            def log_message(self, *args):
                pass

            def do_GET(self):
                with lock:
                    paths.append(self.path)
                parts = self.path.strip("/").split("/")
                template = PAGES.get(parts[0]) if len(parts) == 2 else None
                body = (template.format(name=parts[1]) if template else "page").encode()
                self.send_response(200)
                self.send_header("Content-Type", "text/html")
                self.send_header("Content-Length", str(len(body)))
                self.send_header("Cache-Control", "no-store")
                self.end_headers()
                self.wfile.write(body)

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Pages)
        self.server.daemon_threads = True
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def url(self, path):
        return f"http://127.0.0.1:{self.server.server_address[1]}{path}"

    def requested(self, path):
        return path in self.paths


def launch(sandbox, profile, url, name):
    """zorvik-browser from the program copy, headful on the test's display."""
    arguments = [os.path.join(sandbox.app_dir, "zorvik-browser"), "--user-data-dir=" + profile,
                 "--no-first-run", "--no-default-browser-check", "--password-store=basic",
                 "--window-position=0,0", "--window-size=900,700", url]
    if os.geteuid() == 0:
        arguments.insert(1, "--no-sandbox")
    return sandbox.start_helper(arguments, name, stdout=subprocess.DEVNULL)


def window_named(title):
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", title],
                           capture_output=True, text=True)
    ids = found.stdout.split()
    return ids[0] if ids else None


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
    check(not os.path.exists(os.path.join(sandbox.env["XDG_RUNTIME_DIR"], "halvern",
                                          "zorvik-browser.sock")), "the socket was left behind")
