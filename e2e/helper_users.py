"""Zorvik run as an unprivileged user beside zorvik-helper run as root, in a test's sandbox.

The sandbox runs as root in private namespaces with its own copy of /etc, so the users and the
group made here, the helper's socket and /etc/hosts all stay inside the test. Each user gets
folders of their own (home, configuration, runtime) and their own copy of the program folder,
which Zorvik writes its settings into, and runs Zorvik through setpriv with only their own
credentials and groups.
"""

import os
import grp
import pwd
import shutil
import socket as sockets
import struct
import subprocess
import sys
import time

from harness import (FIRST_START_BOX_REGEX, App, TestFailure, check, dismiss, log, missing_keys,
                     read_ini, wait_until)
import xwindows

GROUP = "zorvik"
ATSPI_TOOL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "atspi_tool.py")


def start_helper(sandbox, group=GROUP):
    """Starts build/app/zorvik-helper as root with its socket in the test's folder and returns
    the socket's path once it is there."""
    ensure_group(group)
    # Users reach the socket through the test's folder, which mkdtemp made 0700.
    os.chmod(sandbox.work, 0o711)
    path = os.path.join(sandbox.work, "zorvik-helper.sock")
    helper = sandbox.start_helper(
        [os.path.join(sandbox.app_dir, "zorvik-helper"), "--socket", path, "--group", group],
        "zorvik-helper", stdout=subprocess.DEVNULL)
    check(wait_until(lambda: os.path.exists(path) or helper.poll() is not None, 10)
          and helper.poll() is None, "zorvik-helper did not start" + _tail(sandbox, "zorvik-helper"))
    st = os.stat(path)
    log(f"zorvik-helper on {path} (mode {oct(st.st_mode & 0o777)}, "
        f"group {grp.getgrgid(st.st_gid).gr_name})")
    return path


def ensure_group(name):
    try:
        grp.getgrnam(name)
    except KeyError:
        subprocess.run(["groupadd", name], check=True)


def _tail(sandbox, name, lines=10):
    try:
        with open(os.path.join(sandbox.work, name + ".log"), errors="replace") as handle:
            return "\n  " + "\n  ".join(handle.read().splitlines()[-lines:])
    except OSError:
        return ""


class User:
    """An unprivileged user of the sandbox's /etc with folders and a program copy of their own."""

    def __init__(self, sandbox, name, groups=()):
        self.sandbox = sandbox
        self.name = name
        for group in groups:
            ensure_group(group)
        command = ["useradd", "--no-create-home", "--user-group", "--shell", "/bin/sh"]
        if groups:
            command += ["--groups", ",".join(groups)]
        subprocess.run(command + [name], check=True)
        entry = pwd.getpwnam(name)
        self.uid, self.gid = entry.pw_uid, entry.pw_gid
        self.folder = os.path.join(sandbox.work, "users", name)
        self.home = os.path.join(self.folder, "home")
        self.app_dir = os.path.join(self.folder, "app")
        self.ini = os.path.join(self.home, ".config", "halvern", "zorvik.ini")
        runtime = os.path.join(self.folder, "run")
        for folder in (self.home, os.path.join(self.home, ".config"),
                       os.path.join(self.home, ".local", "share"), runtime,
                       os.path.join(self.folder, "tmp")):
            os.makedirs(folder, mode=0o700, exist_ok=True)
        os.chmod(os.path.dirname(self.folder), 0o711)
        shutil.copytree(sandbox.app_source, self.app_dir, symlinks=True)
        # The helper is root's business: the user's copy holds none.
        os.remove(os.path.join(self.app_dir, "zorvik-helper"))
        for folder, names, files in os.walk(self.folder):
            for path in [folder] + [os.path.join(folder, n) for n in names + files]:
                os.lchown(path, self.uid, self.gid)
        os.chmod(self.folder, 0o700)
        self.env = dict(sandbox.env)
        self.env.update(HOME=self.home, XDG_CONFIG_HOME=os.path.join(self.home, ".config"),
                        XDG_DATA_HOME=os.path.join(self.home, ".local", "share"),
                        XDG_RUNTIME_DIR=runtime, TMPDIR=os.path.join(self.folder, "tmp"),
                        USER=name, LOGNAME=name)
        self.env.pop("DBUS_SESSION_BUS_ADDRESS", None)
        log(f"user {name} (uid {self.uid}, groups {list(groups)})")

    def command(self, *args):
        """The command line that runs args as this user, with their groups and no others."""
        return ["setpriv", f"--reuid={self.uid}", f"--regid={self.gid}", "--init-groups",
                "--", *args]

    def start_accessibility(self):
        """A session bus of this user's own, on which their Zorvik publishes its widgets, so a
        test can read them (a bus serves its own user only)."""
        path = os.path.join(self.folder, "bus")
        bus = subprocess.Popen(
            self.command("dbus-daemon", "--session", "--nofork", "--nopidfile",
                         "--address=unix:path=" + path),
            env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.sandbox._processes.append(bus)
        check(wait_until(lambda: os.path.exists(path) or bus.poll() is not None, 10)
              and bus.poll() is None, f"the session bus of {self.name} did not start")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + path
        self.env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        self.env.pop("NO_AT_BRIDGE", None)

    def dump(self, app, title):
        """The tree of roles and names of the app's window (see e2e/atspi_tool.py), read as this
        user."""
        result = subprocess.run(
            self.command("/usr/bin/python3", ATSPI_TOOL, "dump", str(app.pid), title),
            env=self.env, capture_output=True, text=True, timeout=30)
        return result.stdout

    def launch(self, socket_path):
        """Starts this user's Zorvik, which finds the helper at socket_path; returns its App."""
        self.env["ZORVIK_HELPER_SOCKET"] = socket_path
        app = UserApp(self)
        self.sandbox._apps.append(app)
        return app


class UserApp(App):
    """One run of a user's Zorvik; the process is Zorvik itself (setpriv execs it)."""

    count = 0

    def __init__(self, user):  # pylint: disable=super-init-not-called
        UserApp.count += 1
        self.sandbox = user.sandbox
        self.user = user
        self.log_path = os.path.join(user.sandbox.work, f"zorvik-{user.name}-{UserApp.count}.log")
        self.started = time.monotonic()
        self.process = subprocess.Popen(
            user.command(os.path.join(user.app_dir, "zorvik")), cwd=user.home, env=user.env,
            stdin=subprocess.DEVNULL, stdout=open(self.log_path, "ab"), stderr=subprocess.STDOUT)
        self.pid = self.process.pid
        log(f"started zorvik as {user.name} (pid {self.pid})")

    def uid(self):
        """The real uid the process runs as, from /proc."""
        with open(f"/proc/{self.pid}/status") as handle:
            for line in handle:
                if line.startswith("Uid:"):
                    return int(line.split()[1])
        return None


def dismiss_box(window):
    """Closes a message box as harness.dismiss does."""
    return dismiss(window)


def stored(ini, key):
    """The value of key in the [Settings] of the file, or None when it has none."""
    return (read_ini(ini) or {}).get("settings", {}).get(key.lower())


def finish_first_start(user_folder, app, keys, timeout=15.0):
    """harness.finish_first_start for a user's run: answers the first start's two information
    boxes and waits until the settings file holds the keys."""
    seen, titles = set(), []
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        check(app.alive(), "zorvik ended during its first start" + app.log_tail())
        boxes = [w for w in xwindows.search(name_regex=FIRST_START_BOX_REGEX) if w not in seen]
        for box in boxes:
            seen.add(box)
            titles.append(xwindows.name(box))
            log(f"first-start box: {titles[-1]!r}")
            check(dismiss(box), f"the box {titles[-1]!r} did not close on Return")
        if len(titles) >= 2 and not boxes and not missing_keys(user_folder.ini, keys):
            return titles
        time.sleep(0.1)
    raise TestFailure(f"zorvik.ini still lacks {missing_keys(user_folder.ini, keys)} "
                      f"{timeout:.0f} s after the window showed" + app.log_tail())


class LoginFolder:
    """What harness.finish_first_start needs of a sandbox: the settings file it waits for."""

    def __init__(self, user):
        self.ini = user.ini


# A client of the helper's protocol, small enough to read at a glance: a frame is a 4-byte
# big-endian length and a payload of a kind byte and its fields; strings are length-prefixed.
HELLO, WRITE_FILE, COPY_FILE = 1, 2, 3
ANSWERS = {0x81: "Granted", 0x82: "HeldByOther", 0x83: "NotAuthorised",
           0x84: "VersionMismatch", 0x85: "Done", 0x86: "Failed", 0x87: "Listener"}


def _frame(kind, *fields):
    payload = bytes([kind])
    for field in fields:
        if isinstance(field, int):
            payload += struct.pack(">I", field)
        else:
            data = field.encode() if isinstance(field, str) else field
            payload += struct.pack(">I", len(data)) + data
    return struct.pack(">I", len(payload)) + payload


def _answer(connection):
    def read(count):
        data = b""
        while len(data) < count:
            chunk = connection.recv(count - len(data))
            if not chunk:
                raise EOFError("the helper closed the connection")
            data += chunk
        return data
    (length,) = struct.unpack(">I", read(4))
    payload = read(length)
    kind = ANSWERS.get(payload[0], str(payload[0]))
    text = ""
    if len(payload) >= 5 and kind != "VersionMismatch":
        (size,) = struct.unpack(">I", payload[1:5])
        text = payload[5:5 + size].decode(errors="replace")
    return kind, text


def run_client(socket_path, requests):
    """Says hello, then sends each (kind, first, second) request; prints one line per answer:
    its kind, a tab and its text. Meant to run as a user (see main below)."""
    with sockets.socket(sockets.AF_UNIX, sockets.SOCK_STREAM) as connection:
        connection.settimeout(20)
        connection.connect(socket_path)
        connection.sendall(_frame(HELLO, 1))
        print("%s\t%s" % _answer(connection), flush=True)
        for kind, first, second in requests:
            connection.sendall(_frame(kind, first, second))
            print("%s\t%s" % _answer(connection), flush=True)


def client_as(user, socket_path, requests):
    """Runs the client as the user; returns the answers as (kind, text) pairs."""
    arguments = [socket_path]
    for kind, first, second in requests:
        arguments += [str(kind), first, second]
    result = subprocess.run(user.command(sys.executable, os.path.abspath(__file__), *arguments),
                            env=user.env, capture_output=True, text=True, timeout=60)
    check(result.returncode == 0, f"the helper client failed: {result.stderr.strip()}")
    return [tuple(line.split("\t", 1)) for line in result.stdout.splitlines()]


if __name__ == "__main__":
    path, rest = sys.argv[1], sys.argv[2:]
    run_client(path, [(int(rest[i]), rest[i + 1], rest[i + 2]) for i in range(0, len(rest), 3)])
