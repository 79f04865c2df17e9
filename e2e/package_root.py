"""The Debian package inside a test's namespaces: a throwaway root to install it in, and the
unprivileged desktop user who runs the installed Zorvik.

The sandbox already has its own copy of /etc. Writable overlays over /usr and /var (the dpkg
database) and an empty /run (no systemd to talk to, and the helper's socket stays in the test)
make the rest of the root throwaway, so dpkg can install and purge without touching the machine.
"""

import glob
import grp
import os
import pwd
import signal
import subprocess
import time

from harness import check, log

PACKAGE = "zorvik"
HELPER = "/usr/libexec/zorvik-helper"
HELPER_SOCKET = "/run/zorvik-helper.sock"
UNITS = ["/usr/lib/systemd/system/zorvik-helper.socket",
         "/usr/lib/systemd/system/zorvik-helper.service"]
SOCKET_ENABLED = "/etc/systemd/system/sockets.target.wants/zorvik-helper.socket"
USER = "zorvikuser"


def package_path(sandbox):
    """The package of the build under test: build/zorvik_*.deb when it is newer than the built
    programs (scripts/check-package.sh makes it), else one CPack makes now in the test's folder."""
    build = os.path.dirname(sandbox.app_source)
    program = max(os.path.getmtime(p) for p in
                  glob.glob(os.path.join(sandbox.app_source, "zorvik*")) if os.path.isfile(p))
    made = [p for p in glob.glob(os.path.join(build, "zorvik_*.deb"))
            if os.path.getmtime(p) >= program]
    if made:
        return max(made, key=os.path.getmtime)
    out = os.path.join(sandbox.work, "package")
    os.makedirs(out, exist_ok=True)
    log("making the package with CPack")
    result = subprocess.run(["cpack", "-G", "DEB", "-B", out, "--config",
                             os.path.join(build, "CPackConfig.cmake")],
                            capture_output=True, text=True)
    made = glob.glob(os.path.join(out, "zorvik_*.deb"))
    check(result.returncode == 0 and made, f"cpack failed:\n{result.stdout}{result.stderr}")
    return made[0]


def throwaway_root(sandbox):
    """Overlays /usr and /var with writable layers in the test's folder and mounts an empty /run."""
    layers = os.path.join(sandbox.work, "layers")
    os.makedirs(layers)
    # An overlay's upper layer cannot live on every file system; a tmpfs always takes it.
    subprocess.run(["mount", "-t", "tmpfs", "-o", "mode=0755", "layers", layers], check=True)
    for top in ("/usr", "/var"):
        upper = os.path.join(layers, top.strip("/"), "upper")
        scratch = os.path.join(layers, top.strip("/"), "work")
        os.makedirs(upper)
        os.makedirs(scratch)
        subprocess.run(["mount", "-t", "overlay", "overlay", "-o",
                        f"lowerdir={top},upperdir={upper},workdir={scratch}", top], check=True)
    subprocess.run(["mount", "-t", "tmpfs", "-o", "mode=0755", "run", "/run"], check=True)
    os.makedirs("/run/lock", mode=0o1777)
    os.chmod("/run/lock", 0o1777)


def dpkg(*args):
    """Runs dpkg; returns its output, failing the test when it fails."""
    result = subprocess.run(["dpkg", *args], capture_output=True, text=True,
                            env={**os.environ, "DEBIAN_FRONTEND": "noninteractive"})
    check(result.returncode == 0,
          f"dpkg {' '.join(args)} failed ({result.returncode}):\n{result.stdout}{result.stderr}")
    return result.stdout


def installed_files():
    """The files (not folders) the installed package put in place."""
    return [p for p in dpkg("-L", PACKAGE).splitlines() if p and not os.path.isdir(p)]


def group_exists(name="zorvik"):
    try:
        grp.getgrnam(name)
        return True
    except KeyError:
        return False


def processes_of(executable):
    """Pids of running processes whose executable is this file."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            if os.readlink(f"/proc/{pid}/exe") == executable:
                found.append(int(pid))
        except OSError:
            continue
    return found


class DesktopUser:
    """An unprivileged user in the zorvik group, with folders of their own in the test's folder."""

    def __init__(self, sandbox, name=USER):
        self.name = name
        # The test's folder is private to root; the user needs to pass through it.
        os.chmod(sandbox.work, 0o711)
        self.home = os.path.join(sandbox.work, "user-home")
        subprocess.run(["useradd", "--home-dir", self.home, "--create-home", "--shell", "/bin/sh",
                        "--groups", "zorvik", name], check=True)
        entry = pwd.getpwnam(name)
        self.uid, self.gid = entry.pw_uid, entry.pw_gid
        self.runtime = os.path.join(sandbox.work, "user-run")
        os.makedirs(self.runtime, mode=0o700)
        os.chown(self.runtime, self.uid, self.gid)
        self.env = {k: v for k, v in sandbox.env.items()
                    if k in ("PATH", "LANG", "LC_ALL", "TZ", "DISPLAY", "QT_QPA_PLATFORM",
                             "NO_AT_BRIDGE")}
        self.env.update(HOME=self.home, USER=name, LOGNAME=name, XDG_RUNTIME_DIR=self.runtime,
                        XDG_CONFIG_HOME=os.path.join(self.home, ".config"),
                        XDG_DATA_HOME=os.path.join(self.home, ".local", "share"),
                        ZORVIK_HELPER_SOCKET=HELPER_SOCKET)
        self.sandbox = sandbox

    def command(self, args):
        """args run as the user, with the groups of the user database (the zorvik group too)."""
        return ["setpriv", f"--reuid={self.uid}", f"--regid={self.gid}", "--init-groups", *args]

    def start(self, args, name):
        """Starts a program as the user; its output goes to work/<name>.log."""
        log_path = os.path.join(self.sandbox.work, name + ".log")
        process = subprocess.Popen(self.command(args), env=self.env, cwd=self.home,
                                   stdin=subprocess.DEVNULL, stdout=open(log_path, "ab"),
                                   stderr=subprocess.STDOUT)
        log(f"started {args[0]} as {self.name} (pid {process.pid})")
        return process

    def groups_of(self, pid):
        """The supplementary group names of a running process."""
        with open(f"/proc/{pid}/status") as handle:
            line = next(l for l in handle if l.startswith("Groups:"))
        return {grp.getgrgid(int(g)).gr_name for g in line.split()[1:]}


def stop(process, timeout=10):
    """SIGTERM, then SIGKILL; returns the exit code of the SIGTERM or None when it had to kill."""
    if process.poll() is not None:
        return process.returncode
    process.send_signal(signal.SIGTERM)
    try:
        return process.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
        return None


def wait_socket(path, timeout=10):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if os.path.exists(path):
            return True
        time.sleep(0.05)
    return False
