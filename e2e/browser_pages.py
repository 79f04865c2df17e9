"""The protected browser in an end-to-end test: test pages from a server in the test's own network
namespace that logs every request, the launcher zorvik-browser with a headful Chromium on the
test's display, and the small probes the browser tests share (windows by page title, clicks by
XTest, whether a Zorvik is connected to the launcher's socket)."""

import http.server
import os
import subprocess
import threading

CHROMIUM = "/usr/bin/chromium"
START_TIMEOUT = 60.0  # a cold Chromium under Xvfb on a busy machine
REQUEST_TIMEOUT = 20.0
# Long enough for a popup that was let through to make its first request.
QUIET_PERIOD = 2.0

# Where the page's buttons and links cover the whole page, a click anywhere inside hits them.
COVER = "position:fixed;left:0;top:0;width:100%;height:100%;display:block;margin:0"

# Page templates by the first part of their path, "/<kind>/<id>"; @ID@ is the page's id. Each
# opener fetches /done/<id> once its window.open has returned: the sign that its script goes on.
PAGES = {
    # Nothing but the page's title: where a browser waits for the test's next page.
    "start": "<title>@ID@</title>ready",
    # No user gesture: opened while the page loads, from a timer, by a form sent by script.
    "onload": "<title>@ID@</title><script>window.open('/pop/@ID@');"
              "fetch('/done/@ID@');</script>opener",
    "timer": "<title>@ID@</title><script>addEventListener('load', () => setTimeout(() => {"
             "window.open('/pop/@ID@'); fetch('/done/@ID@');}, 300));</script>opener",
    "autoform": "<title>@ID@</title><form id='f' action='/pop/@ID@' target='_blank'>"
                "<input type='hidden' name='q' value='1'></form><script>"
                "addEventListener('load', () => {document.getElementById('f').submit();"
                "fetch('/done/@ID@');});</script>opener",
    # Opened by the user: a click handler, a press of the button, a link, a form's button.
    "click": "<title>@ID@</title><button style='" + COVER + "' onclick=\"window.open("
             "'/pop/@ID@'); fetch('/done/@ID@')\">open</button>",
    "mousedown": "<title>@ID@</title><button style='" + COVER + "' onmousedown=\"window.open("
                 "'/pop/@ID@'); fetch('/done/@ID@')\">open</button>",
    "link": "<title>@ID@</title><a style='" + COVER + "' href='/pop/@ID@' target='_blank'>"
            "open</a>",
    "submit": "<title>@ID@</title><form action='/pop/@ID@' target='_blank'>"
              "<button type='submit' style='" + COVER + "'>send</button></form>",
    # One click, a hundred windows: /pop/<id>-0 ... /pop/<id>-99.
    "loop": "<title>@ID@</title><button style='" + COVER + "' onclick=\"for (let i = 0; "
            "i < 100; i++) window.open('/pop/@ID@-' + i); fetch('/done/@ID@')\">open</button>",
    # One click, two windows.
    "two": "<title>@ID@</title><button style='" + COVER + "' onclick=\"window.open("
           "'/pop/@ID@-a'); window.open('/pop/@ID@-b'); fetch('/done/@ID@')\">open</button>",
    # A popup that opened closes itself once loaded, so that its opener is in front again.
    "pop": "<title>popup @ID@</title><script>addEventListener('load', () => "
           "setTimeout(() => window.close(), 300));</script>popup",
}

# Every opener asks the server now and then where to go next: the test moves the browser to its
# next page without typing into it (keys and clicks would count as the user's intent).
FOLLOW = ("<script>setInterval(() => fetch('/go').then(r => r.text()).then(t => "
          "{ if (t) location.href = t; }).catch(() => {}), 200);</script>")


class PageServer:
    """Serves the test pages on loopback and remembers every path asked for (but the openers'
    questions where to go next)."""

    def __init__(self):
        self.paths = []
        self._next = ""
        lock = threading.Lock()
        self._lock = lock
        server = self

        class Pages(http.server.BaseHTTPRequestHandler):
            def log_message(self, *args):
                pass

            def do_GET(self):
                if self.path == "/go":
                    with lock:
                        body, server._next = server._next, ""
                else:
                    with lock:
                        server.paths.append(self.path)
                    body = server._body(self.path)
                self._reply(body.encode())

            def _reply(self, body):
                self.send_response(200)
                self.send_header("Content-Type", "text/html")
                self.send_header("Content-Length", str(len(body)))
                self.send_header("Cache-Control", "no-store")
                self.end_headers()
                self.wfile.write(body)

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Pages)
        self.server.daemon_threads = True
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    @staticmethod
    def _body(path):
        parts = path.split("?", 1)[0].strip("/").split("/")
        template = PAGES.get(parts[0]) if len(parts) == 2 else None
        if not template:
            return "page"
        return template.replace("@ID@", parts[1]) + (FOLLOW if parts[0] != "pop" else "")

    def url(self, path):
        return f"http://127.0.0.1:{self.server.server_address[1]}{path}"

    def go(self, path):
        """Has the page shown now go to path (at its next question, within a fifth of a second)."""
        with self._lock:
            self._next = self.url(path)

    def requested(self, path):
        """Whether path was asked for, with or without a query."""
        with self._lock:
            return any(p.split("?", 1)[0] == path for p in self.paths)

    def requested_under(self, prefix):
        """The paths asked for that begin with prefix."""
        with self._lock:
            return [p for p in self.paths if p.startswith(prefix)]


def launch(sandbox, profile, url, name):
    """zorvik-browser from the program copy, headful on the test's display; its messages and
    Chromium's go to work/<name>.log. Chromium refuses to start when the path of its singleton
    socket, in the test's TMPDIR, passes 107 bytes: a test using it keeps its name within about
    30 characters."""
    arguments = [os.path.join(sandbox.app_dir, "zorvik-browser"), "--user-data-dir=" + profile,
                 "--no-first-run", "--no-default-browser-check", "--password-store=basic",
                 "--window-position=0,0", "--window-size=900,700", url]
    if os.geteuid() == 0:
        arguments.insert(1, "--no-sandbox")
    return sandbox.start_helper(arguments, name, stdout=subprocess.DEVNULL)


def launcher_said(sandbox, name, text):
    """How many lines of the launcher's log (work/<name>.log) say text."""
    try:
        with open(os.path.join(sandbox.work, name + ".log"), errors="replace") as handle:
            return sum(1 for line in handle if "zorvik-browser: " + text in line)
    except OSError:
        return 0


def window_named(title):
    """The visible window whose title begins with title (a browser shows its page's title), or
    None."""
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^" + title],
                           capture_output=True, text=True)
    ids = found.stdout.split()
    return ids[0] if ids else None


def click(window, *steps):
    """Brings the window to the front and clicks into the middle of its page; steps (xdotool
    commands) replace the plain click, e.g. ("keydown", "ctrl", "click", "1", "keyup", "ctrl")."""
    subprocess.run(["xdotool", "windowactivate", "--sync", window], timeout=10)
    subprocess.run(["xdotool", "mousemove", "--window", window, "450", "400",
                    *(steps or ("click", "1"))], check=True, timeout=10)


def socket_path(sandbox):
    return os.path.join(sandbox.env["XDG_RUNTIME_DIR"], "halvern", "zorvik-browser.sock")


def zorvik_connected(sandbox):
    """Whether a Zorvik holds a connection to the launcher's socket: the launcher's end of an
    accepted connection carries the socket's path and the state connected."""
    path = socket_path(sandbox)
    with open("/proc/net/unix") as table:
        for line in table.readlines()[1:]:
            fields = line.split()
            if len(fields) >= 8 and fields[7] == path and fields[5] == "03":
                return True
    return False
