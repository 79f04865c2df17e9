"""The sandbox one end-to-end test runs in, and the tools its steps use.

Each test runs in its own process inside private mount and network namespaces (run.py starts it with
`unshare --mount --net --fork`). Here that process makes every mount private, puts a copy of /etc over
/etc (so the program's changes of /etc/hosts and its two copies next to it never reach the machine),
brings the loopback device up (port 80 is then the namespace's own), starts Xvfb and a tray host, and
copies the staged program folder into the test's folder. The user's HOME, XDG_CONFIG_HOME (settings),
XDG_DATA_HOME (lists and state) and XDG_RUNTIME_DIR are the test's own too. A test that needs real window frames starts
openbox on its display with Sandbox.start_window_manager().
"""

import os
import re
import shutil
import signal
import subprocess
import time

import xwindows

CAPTION = "Zorvik Popup Blocker Ad Stopper v4.2.8"
CAPTION_REGEX = "^" + re.escape(CAPTION) + "$"

# Every key the first start writes to [Settings]: the whole table but DateUpdate and nTotBlocked,
# which are written only once they hold a real date or count.
FIRST_START_KEYS = [
    "fOnOff", "fCloseBrowser", "fIEWhiteList", "fBlockByTitle", "bMinimized", "bAutoDownload",
    "bJavaPops", "bRunIE", "bStartup", "bIEToolBar", "bBannerSound", "bPopSound", "BannerSound",
    "PopSound", "ProxyName", "ProxyPort", "bHostsFullySet", "bBlockAdServers", "bBlockIEPopups",
]

# Titles of the two information boxes of the first start.
FIRST_START_BOX_REGEX = "Message [0-9] of 3$"

START_TIMEOUT = 20.0  # launch to visible window; Qt's first start under a cold cache is slow
EXIT_TIMEOUT = 10.0  # SIGTERM to process end; the exit restores the hosts file with short pauses


class TestFailure(Exception):
    """A check of the test did not hold."""


class TestSkip(Exception):
    """The test cannot run here; the message says why."""


def check(condition, message):
    if not condition:
        raise TestFailure(message)


def wait_until(probe, timeout, interval=0.05):
    """Polls probe() until it returns something truthy; returns that, or None after timeout."""
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() >= deadline:
            return None
        time.sleep(interval)


def log(message):
    print(f"[{time.strftime('%H:%M:%S')}] {message}", flush=True)


def read_ini(path):
    """{section lower-case: {key lower-case: value}} of an INI file, first match wins; None if absent."""
    try:
        with open(path, "rb") as handle:
            text = handle.read().decode("latin-1")
    except FileNotFoundError:
        return None
    sections, current = {}, None
    for raw in text.splitlines():
        line = raw.strip()
        if line.startswith("[") and line.endswith("]"):
            current = sections.setdefault(line[1:-1].strip().lower(), {})
        elif current is not None and "=" in line:
            key, value = line.split("=", 1)
            current.setdefault(key.strip().lower(), value.strip())
    return sections


def missing_keys(path, keys):
    """Keys of [Settings] that the file lacks (all of them when the file is absent)."""
    settings = (read_ini(path) or {}).get("settings", {})
    return [key for key in keys if key.lower() not in settings]


def set_ini_value(path, section, key, value):
    """Rewrites one key of an INI file in place, keeping the file's line ending."""
    with open(path, "rb") as handle:
        text = handle.read().decode("latin-1")
    newline = "\r\n" if "\r\n" in text else "\n"
    lines, current, done = text.splitlines(), None, False
    for i, raw in enumerate(lines):
        line = raw.strip()
        if line.startswith("[") and line.endswith("]"):
            current = line[1:-1].strip().lower()
        elif current == section.lower() and line.split("=", 1)[0].strip().lower() == key.lower():
            lines[i] = f"{key}={value}"
            done = True
            break
    check(done, f"{path} has no key {key} in [{section}]")
    with open(path, "wb") as handle:
        handle.write((newline.join(lines) + newline).encode("latin-1"))


class Sandbox:
    """The namespace's private /etc, loopback, display, tray host and program copy."""

    def __init__(self, work, app_source):
        self.work = work
        self.app_source = app_source
        # The program copy holds the shipped files, as a build tree does.
        self.app_dir = os.path.join(work, "app")
        home = os.path.join(work, "home")
        self.config_dir = os.path.join(home, ".config", "halvern")
        self.data_dir = os.path.join(home, ".local", "share", "halvern")
        self.ini = os.path.join(self.config_dir, "zorvik.ini")
        self.hosts = "/etc/hosts"
        self.env = {}
        self._processes = []
        self._apps = []
        self._launches = 0

    def __enter__(self):
        self._private_etc()
        subprocess.run(["ip", "link", "set", "lo", "up"], check=True)
        self._user_folders()
        shutil.copytree(self.app_source, self.app_dir, symlinks=True)
        self._start_display()
        return self

    def __exit__(self, *exc):
        for app in self._apps:
            app.kill()
        for process in reversed(self._processes):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=3)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        return False

    def _private_etc(self):
        subprocess.run(["mount", "--make-rprivate", "/"], check=True)
        etc_copy = os.path.join(self.work, "etc")
        # Files we may not read (as a mapped non-root user) are left out; the program needs hosts only.
        subprocess.run(["cp", "-a", "/etc", etc_copy], stderr=subprocess.DEVNULL)
        check(os.path.exists(os.path.join(etc_copy, "hosts")), "could not copy /etc/hosts")
        subprocess.run(["mount", "--bind", etc_copy, "/etc"], check=True)

    def _user_folders(self):
        home = os.path.join(self.work, "home")
        runtime = os.path.join(self.work, "run")
        tmp = os.path.join(self.work, "tmp")
        for folder in (home, os.path.join(home, ".config"), os.path.join(home, ".local", "share"),
                       runtime, tmp):
            os.makedirs(folder, mode=0o700, exist_ok=True)
        os.chmod(runtime, 0o700)
        keep = ("PATH", "LANG", "LC_ALL", "TZ")
        self.env = {k: v for k, v in os.environ.items() if k in keep}
        self.env.update(HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
                        XDG_DATA_HOME=os.path.join(home, ".local", "share"),
                        XDG_RUNTIME_DIR=runtime, TMPDIR=tmp, QT_QPA_PLATFORM="xcb",
                        NO_AT_BRIDGE="1")
        self.env.setdefault("LANG", "C.UTF-8")

    def _start_display(self):
        read_end, write_end = os.pipe()
        xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten",
             "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=self._logfile("xvfb"))
        self._processes.append(xvfb)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 15
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        check(number.strip().isdigit(), "Xvfb did not start")
        self.env["DISPLAY"] = ":" + number.decode().strip()
        os.environ["DISPLAY"] = self.env["DISPLAY"]
        log(f"Xvfb on {self.env['DISPLAY']}")
        trayer = subprocess.Popen(
            ["trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height",
             "24", "--SetDockType", "true", "--transparent", "false"],
            env=self.env, stdout=subprocess.DEVNULL, stderr=self._logfile("trayer"))
        self._processes.append(trayer)
        check(wait_until(lambda: xwindows.search(pid=trayer.pid) or self._tray_window(), 10),
              "the tray host did not show up")

    @staticmethod
    def _tray_window():
        tree = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True)
        return "panel" in tree.stdout or "trayer" in tree.stdout.lower()

    def _logfile(self, name):
        return open(os.path.join(self.work, name + ".log"), "ab")

    def start_window_manager(self):
        """Runs openbox on the test's display, so windows get real frames with title bars, as on a
        desktop; returns once it manages the screen. Without it windows have no frame at all."""
        openbox = subprocess.Popen(["openbox", "--sm-disable"], env=self.env,
                                   stdout=subprocess.DEVNULL, stderr=self._logfile("openbox"))
        self._processes.append(openbox)
        check(wait_until(lambda: openbox.poll() is not None or xwindows.window_manager(), 10)
              and openbox.poll() is None, "openbox did not take the display")
        log(f"window manager {xwindows.window_manager()!r}")

    def start_helper(self, args, name, **popen):
        """Starts a helper program (a test window, say) on the test's display with the sandbox's
        environment, its stderr in work/<name>.log; it is ended with the sandbox."""
        process = subprocess.Popen(args, env=self.env, stdin=subprocess.DEVNULL,
                                   stderr=self._logfile(name), **popen)
        self._processes.append(process)
        return process

    def start_accessibility(self):
        """Starts a session bus for the test (the accessibility bus is started on demand through
        it) and has Qt programs launched from now on publish their widgets there, so a test can
        read and press them with e2e/accessibility.py."""
        address = "unix:path=" + os.path.join(self.work, "session-bus")
        bus = subprocess.Popen(
            ["dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=" + address],
            env=self.env, stdout=subprocess.DEVNULL, stderr=self._logfile("dbus"))
        self._processes.append(bus)
        check(wait_until(lambda: os.path.exists(os.path.join(self.work, "session-bus"))
                         or bus.poll() is not None, 10) and bus.poll() is None,
              "the session bus did not start")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address
        self.env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        self.env.pop("NO_AT_BRIDGE", None)

    def launch(self, *args):
        """Starts the program copy with the given arguments; returns its App."""
        self._launches += 1
        app = App(self, self._launches, args)
        self._apps.append(app)
        return app

    def app_files(self):
        """{name: (size, mtime_ns)} of the program folder (the shipped files)."""
        return _tree(self.app_dir)

    def data_files(self):
        """{name: (size, mtime_ns)} under the data folder (lists and state)."""
        return _tree(self.data_dir)

    def data_file(self, name):
        """Where the user's list or the program's state file of that name lives; its folder is
        made, so a test can write the file before the first start."""
        os.makedirs(self.data_dir, exist_ok=True)
        return os.path.join(self.data_dir, name)

    def config_file(self, name):
        """A file of the settings folder; its folder is made, as for data_file."""
        os.makedirs(self.config_dir, exist_ok=True)
        return os.path.join(self.config_dir, name)

    def list_file(self, name):
        """A shipped list the program rewrites, as the program reads it now: the data folder's
        copy once the program wrote one, else the shipped one."""
        own = os.path.join(self.data_dir, name)
        return own if os.path.exists(own) else os.path.join(self.app_dir, name)

    def config_files(self):
        """{path: (size, mtime_ns)} under XDG_CONFIG_HOME."""
        return _tree(self.env["XDG_CONFIG_HOME"])


def _tree(top):
    entries = {}
    for folder, _, names in os.walk(top):
        for name in names:
            path = os.path.join(folder, name)
            st = os.stat(path)
            entries[os.path.relpath(path, top)] = (st.st_size, st.st_mtime_ns)
    return entries


class App:
    """One run of the program copy."""

    def __init__(self, sandbox, number, args=()):
        self.sandbox = sandbox
        self.log_path = os.path.join(sandbox.work, f"zorvik-{number}.log")
        self.started = time.monotonic()
        self.process = subprocess.Popen(
            [os.path.join(sandbox.app_dir, "zorvik"), *args], cwd=sandbox.work, env=sandbox.env,
            stdin=subprocess.DEVNULL, stdout=open(self.log_path, "ab"), stderr=subprocess.STDOUT)
        self.pid = self.process.pid
        log(f"started zorvik #{number} (pid {self.pid})")

    def alive(self):
        return self.process.poll() is None

    def elapsed(self):
        return time.monotonic() - self.started

    def main_windows(self):
        """Visible windows with the main caption that belong to this process."""
        windows = xwindows.search(name_regex=CAPTION_REGEX)
        return [w for w in windows if xwindows.pid_of(w) in (self.pid, None)]

    def wait_main_window(self, timeout=START_TIMEOUT):
        windows = wait_until(lambda: self.main_windows() or not self.alive(), timeout)
        check(self.alive(), f"zorvik ended during start-up (exit code {self.process.returncode})"
              + self.log_tail())
        check(windows, f"no visible window titled '{CAPTION}' within {timeout:.0f} s")
        return windows[0]

    def wait_exit(self, timeout):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def terminate(self, timeout=EXIT_TIMEOUT, sig=signal.SIGTERM):
        """Sends SIGTERM (or sig); returns the exit code, or None when the process did not end in
        time."""
        self.process.send_signal(sig)
        return self.wait_exit(timeout)

    def kill(self):
        if self.alive():
            self.process.kill()
            self.process.wait()

    def log_tail(self, lines=15):
        try:
            with open(self.log_path, errors="replace") as handle:
                tail = handle.read().splitlines()[-lines:]
        except OSError:
            return ""
        return ("\n  program output:\n    " + "\n    ".join(tail)) if tail else ""


def dismiss(window, timeout=3.0):
    """Closes a message box: Return first (its default button), then a close request."""
    xwindows.press_key(window, "Return")
    if wait_until(lambda: window not in xwindows.search(), timeout):
        return True
    xwindows.request_close(window)
    return bool(wait_until(lambda: window not in xwindows.search(), timeout))


def finish_first_start(sandbox, app, timeout=15.0):
    """Lets the first start's timer run: answers its information boxes and waits for zorvik.ini.

    Returns (seconds from the visible window to the first box or None, box titles in order,
    seconds from the visible window to the complete settings file)."""
    window_seen = time.monotonic()
    titles, first_box, seen = [], None, set()
    deadline = window_seen + timeout
    while time.monotonic() < deadline:
        check(app.alive(), "zorvik ended during its first start" + app.log_tail())
        boxes = [w for w in xwindows.search(name_regex=FIRST_START_BOX_REGEX) if w not in seen]
        for box in boxes:
            seen.add(box)
            first_box = first_box or time.monotonic() - window_seen
            titles.append(xwindows.name(box))
            log(f"first-start box: {titles[-1]!r}")
            check(dismiss(box), f"the box {titles[-1]!r} did not close on Return")
        # The settings file is complete before the two boxes show, so both are waited for.
        if len(titles) >= 2 and not boxes and not missing_keys(sandbox.ini, FIRST_START_KEYS):
            return first_box, titles, time.monotonic() - window_seen
        time.sleep(0.1)
    raise TestFailure(f"zorvik.ini still lacks {missing_keys(sandbox.ini, FIRST_START_KEYS)} "
                      f"{timeout:.0f} s after the window showed" + app.log_tail())


def start_and_settle(sandbox):
    """A first start carried through to its settings file; returns the running App."""
    app = sandbox.launch()
    app.wait_main_window()
    finish_first_start(sandbox, app)
    return app
