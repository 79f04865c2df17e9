"""The private world the shipped program is benchmarked in, and the probes the benchmarks read.

Runs inside private mount and network namespaces (run.sh starts it with `unshare --mount --net
--fork`): a copy of /etc over /etc, the loopback device up, an Xvfb display with `trayer` as tray
host, its own HOME and XDG folders, and a copy of the program folder (the shipped files). The
settings folder's zorvik.ini and user store say "not the first start" (no information boxes, the
window hides into the tray 2.5 s after the start).
"""

import ctypes
import ctypes.util
import os
import select
import shutil
import signal
import socket
import struct
import subprocess
import time

CAPTION = "Zorvik Popup Blocker Ad Stopper v4.2.8"

# A later start's settings: what the first start leaves behind, with the hosts file not yet built.
LATER_START_INI = """[Settings]
BannerSound=ad.wav
PopSound=pop.wav
ProxyName=
ProxyPort=
fOnOff=0
fCloseBrowser=0
fIEWhiteList=0
fBlockByTitle=0
bMinimized=False
bAutoDownload=True
bJavaPops=False
bRunIE=False
bStartup=True
bIEToolBar=False
bBannerSound=True
bBlockAdServers=True
bBlockIEPopups=True
bPopSound=True
bHostsFullySet=False
"""


def log(message):
    print(f"  [{time.strftime('%H:%M:%S')}] {message}", flush=True)


def wait_until(probe, timeout, interval=0.02):
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(interval)


class Sandbox:
    def __init__(self, work, app_source, settings=LATER_START_INI):
        self.work = work
        self.app_source = app_source
        # The program copy holds the shipped files, as a build tree does; the settings, lists and
        # state are in the user's XDG folders.
        self.app_dir = os.path.join(work, "app")
        home = os.path.join(work, "home")
        self.config_dir = os.path.join(home, ".config", "halvern")
        self.data_dir = os.path.join(home, ".local", "share", "halvern")
        self.settings = settings
        self.env = {}
        self.processes = []

    def __enter__(self):
        subprocess.run(["mount", "--make-rprivate", "/"], check=True)
        etc_copy = os.path.join(self.work, "etc")
        subprocess.run(["cp", "-a", "/etc", etc_copy], stderr=subprocess.DEVNULL)
        if not os.path.exists(os.path.join(etc_copy, "hosts")):
            raise SystemExit("could not copy /etc/hosts")
        subprocess.run(["mount", "--bind", etc_copy, "/etc"], check=True)
        subprocess.run(["ip", "link", "set", "lo", "up"], check=True)
        home = os.path.join(self.work, "home")
        config = os.path.join(home, ".config")
        data = os.path.join(home, ".local", "share")
        runtime = os.path.join(self.work, "run")
        for folder in (home, config, data, runtime, os.path.join(self.work, "tmp")):
            os.makedirs(folder, mode=0o700, exist_ok=True)
        self.env = {k: v for k, v in os.environ.items() if k in ("PATH", "LANG", "TZ")}
        self.env.setdefault("LANG", "C.UTF-8")
        self.env.update(HOME=home, XDG_CONFIG_HOME=config, XDG_DATA_HOME=data,
                        XDG_RUNTIME_DIR=runtime,
                        TMPDIR=os.path.join(self.work, "tmp"), QT_QPA_PLATFORM="xcb",
                        NO_AT_BRIDGE="1")
        shutil.copytree(self.app_source, self.app_dir, symlinks=True,
                        ignore=shutil.ignore_patterns("CMakeFiles", "*.cmake"))
        self.reset_program_state()
        self._start_display()
        return self

    def __exit__(self, *exc):
        for process in reversed(self.processes):
            stop(process)
        return False

    def reset_program_state(self):
        """zorvik.ini of a later start, and the user store's mark that the first start is done."""
        os.makedirs(self.config_dir, exist_ok=True)
        os.makedirs(self.data_dir, exist_ok=True)
        with open(os.path.join(self.config_dir, "zorvik.ini"), "w", newline="\r\n") as handle:
            handle.write(self.settings)
        with open(os.path.join(self.config_dir, "Zorvik.ini"), "w") as handle:
            handle.write("[State]\nFirstStart=Done\n")
        self.give_to_user()

    def _start_display(self):
        read_end, write_end = os.pipe()
        xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten",
             "tcp", "-noreset"], pass_fds=(write_end,), stdout=subprocess.DEVNULL,
            stderr=open(os.path.join(self.work, "xvfb.log"), "ab"))
        self.processes.append(xvfb)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + 15
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        if not number.strip().isdigit():
            raise SystemExit("Xvfb did not start")
        self.env["DISPLAY"] = ":" + number.decode().strip()
        os.environ["DISPLAY"] = self.env["DISPLAY"]
        self.spawn(
            ["trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height",
             "24", "--SetDockType", "true", "--transparent", "false"], "trayer")
        if not wait_until(lambda: "trayer" in subprocess.run(
                ["xwininfo", "-root", "-tree"], capture_output=True, text=True).stdout.lower(),
                10, 0.1):
            raise SystemExit("the tray host did not show up")
        time.sleep(0.5)  # let the tray host claim the tray selection

    def spawn(self, argv, name, cwd=None):
        process = subprocess.Popen(argv, cwd=cwd or self.work, env=self.env,
                                   stdin=subprocess.DEVNULL,
                                   stdout=open(os.path.join(self.work, name + ".log"), "ab"),
                                   stderr=subprocess.STDOUT)
        self.processes.append(process)
        return process

    def launch_program(self):
        """Starts the program copy as a user does (its own path, no arguments): as root, or as
        the unprivileged user of run_as_user()."""
        return self.spawn(self.program_argv(), "zorvik")

    def program_argv(self):
        """The command line that starts the program copy."""
        program = os.path.join(self.app_dir, "zorvik")
        return [*self.user_prefix, program] if self.user_prefix else [program]

    user_prefix = []

    def run_as_user(self, name="benchuser", group="zorvik"):
        """From now on the program runs as an unprivileged member of the group, and
        zorvik-helper, started here as root, writes the hosts file and binds port 80 for it, as
        on an installed system. The program's folders become the user's."""
        if subprocess.run(["getent", "group", group], capture_output=True).returncode != 0:
            subprocess.run(["groupadd", group], check=True)
        subprocess.run(["useradd", "--no-create-home", "--user-group", "--groups", group, name],
                       check=True)
        ids = subprocess.run(["id", "-u", name], capture_output=True, text=True).stdout.strip()
        gid = subprocess.run(["id", "-g", name], capture_output=True, text=True).stdout.strip()
        self.uid, self.gid = int(ids), int(gid)
        os.chmod(self.work, 0o711)
        socket_path = os.path.join(self.work, "zorvik-helper.sock")
        helper = self.spawn([os.path.join(self.app_dir, "zorvik-helper"), "--socket", socket_path,
                             "--group", group], "zorvik-helper")
        if not wait_until(lambda: os.path.exists(socket_path) or helper.poll() is not None, 10) \
                or helper.poll() is not None:
            raise SystemExit(f"zorvik-helper did not start (log: {self.work}/zorvik-helper.log)")
        self.env["ZORVIK_HELPER_SOCKET"] = socket_path
        self.user_prefix = ["setpriv", f"--reuid={self.uid}", f"--regid={self.gid}",
                            "--init-groups", "--"]
        self.give_to_user()

    def give_to_user(self):
        """The program folder and the user's folders belong to the benchmark's user, if any."""
        if not self.user_prefix:
            return
        for top in (self.app_dir, self.env["HOME"], self.env["XDG_RUNTIME_DIR"],
                    self.env["TMPDIR"]):
            for folder, names, files in os.walk(top):
                for path in [folder] + [os.path.join(folder, n) for n in names + files]:
                    os.lchown(path, self.uid, self.gid)


def stop(process, timeout=10):
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


# --- CPU time and memory of a process ---------------------------------------------------------

TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    """User + system CPU of a process (all its threads) from /proc/<pid>/stat, in seconds."""
    with open(f"/proc/{pid}/stat") as handle:
        fields = handle.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def cpu_ns(pid):
    """CPU of all threads of a process from the scheduler's nanosecond counters."""
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{task}/schedstat") as handle:
                total += int(handle.read().split()[0])
        except (OSError, ValueError, IndexError):
            pass
    return total


def memory_kib(pid):
    """(resident, proportional) memory of a process in KiB."""
    rss = pss = 0
    with open(f"/proc/{pid}/status") as handle:
        for line in handle:
            if line.startswith("VmRSS:"):
                rss = int(line.split()[1])
    try:
        with open(f"/proc/{pid}/smaps_rollup") as handle:
            for line in handle:
                if line.startswith("Pss:"):
                    pss = int(line.split()[1])
    except OSError:
        pss = rss
    return rss, pss


def port_open(port, host="127.0.0.1"):
    try:
        with socket.create_connection((host, port), timeout=0.2):
            return True
    except OSError:
        return False


# --- inotify on a folder, with the moment of each event ---------------------------------------

IN_CREATE, IN_MOVED_TO, IN_CLOSE_WRITE, IN_DELETE = 0x100, 0x80, 0x8, 0x200

_libc = ctypes.CDLL(ctypes.util.find_library("c") or "libc.so.6", use_errno=True)


class FolderWatch:
    """Events of one folder: (monotonic time of reading, mask, name). Read often so the time of
    reading stays within a few milliseconds of the event."""

    def __init__(self, folder, mask=IN_CREATE | IN_MOVED_TO | IN_CLOSE_WRITE | IN_DELETE):
        self.fd = _libc.inotify_init1(os.O_NONBLOCK | os.O_CLOEXEC)
        if self.fd < 0 or _libc.inotify_add_watch(self.fd, folder.encode(), mask) < 0:
            raise OSError(ctypes.get_errno(), "inotify on " + folder)

    def events(self, timeout):
        ready, _, _ = select.select([self.fd], [], [], max(0.0, timeout))
        now = time.monotonic()
        if not ready:
            return []
        try:
            data = os.read(self.fd, 65536)
        except BlockingIOError:
            return []
        found, offset = [], 0
        while offset + 16 <= len(data):
            _, mask, _, length = struct.unpack_from("iIII", data, offset)
            name = data[offset + 16:offset + 16 + length].split(b"\0", 1)[0].decode()
            found.append((now, mask, name))
            offset += 16 + length
        return found

    def close(self):
        os.close(self.fd)


# --- the moment a window with a given title is mapped ------------------------------------------

class _MapEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("event", ctypes.c_ulong),
                ("window", ctypes.c_ulong), ("override_redirect", ctypes.c_int)]


class _Event(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("xmap", _MapEvent), ("pad", ctypes.c_long * 24)]


_MAP_NOTIFY = 19
_SUBSTRUCTURE_NOTIFY_MASK = 1 << 19


class MapWatch:
    """Reports top-level windows as the X server maps them (no window manager on the display, so
    a program's window is a child of the root window and its MapNotify reaches the root)."""

    def __init__(self, display):
        self.x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
        self.x.XPending.argtypes = [ctypes.c_void_p]
        self.x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(_Event)]
        self.x.XConnectionNumber.argtypes = [ctypes.c_void_p]
        self.x.XFlush.argtypes = [ctypes.c_void_p]
        self.x.XInternAtom.restype = ctypes.c_ulong
        self.x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        self.x.XGetWindowProperty.argtypes = [
            ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_long, ctypes.c_long,
            ctypes.c_int, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
            ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_ulong),
            ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.POINTER(ctypes.c_ubyte))]
        self.x.XFree.argtypes = [ctypes.c_void_p]
        # A window may be gone by the time it is asked for its title: ignore the error instead of
        # letting Xlib end the process.
        self._on_error = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(
            lambda _display, _error: 0)
        self.x.XSetErrorHandler(self._on_error)
        self.display = self.x.XOpenDisplay(display.encode())
        if not self.display:
            raise SystemExit(f"cannot open display {display}")
        self.net_wm_name = self.x.XInternAtom(self.display, b"_NET_WM_NAME", 0)
        self.x.XSelectInput(self.display, self.x.XDefaultRootWindow(self.display),
                            _SUBSTRUCTURE_NOTIFY_MASK)
        self.x.XFlush(self.display)
        self.fd = self.x.XConnectionNumber(self.display)

    def title(self, window):
        """The window's _NET_WM_NAME, else its WM_NAME, whatever their encoding."""
        for atom in (self.net_wm_name, 39):  # 39: the predefined atom WM_NAME
            kind, fmt = ctypes.c_ulong(), ctypes.c_int()
            count, after = ctypes.c_ulong(), ctypes.c_ulong()
            data = ctypes.POINTER(ctypes.c_ubyte)()
            if self.x.XGetWindowProperty(self.display, window, atom, 0, 1024, 0, 0,
                                         ctypes.byref(kind), ctypes.byref(fmt),
                                         ctypes.byref(count), ctypes.byref(after),
                                         ctypes.byref(data)) != 0 or not data:
                continue
            text = ctypes.string_at(data, count.value) if fmt.value == 8 else b""
            self.x.XFree(data)
            if text:
                return text.decode("utf-8", "replace")
        return ""

    def drain(self):
        """Forgets the events received so far."""
        event = _Event()
        while self.x.XPending(self.display):
            self.x.XNextEvent(self.display, ctypes.byref(event))

    def wait_title(self, title, timeout):
        """Monotonic time at which a window that is, or within a few seconds becomes, titled
        `title` was mapped; None when none was. The program maps its window before it sets its
        full caption, so the title is checked until it settles."""
        deadline = time.monotonic() + timeout
        event = _Event()
        mapped = []
        while time.monotonic() < deadline:
            while self.x.XPending(self.display):
                self.x.XNextEvent(self.display, ctypes.byref(event))
                if event.type == _MAP_NOTIFY and not event.xmap.override_redirect:
                    mapped.append((time.monotonic(), event.xmap.window))
            for when, window in mapped:
                if self.title(window) == title:
                    return when
            mapped = [(when, window) for when, window in mapped if when > time.monotonic() - 5]
            select.select([self.fd], [], [], min(0.02, max(0.0, deadline - time.monotonic())))
        return None
