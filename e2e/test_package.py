"""The Debian package: installed with dpkg in a throwaway root, run as a desktop user through the
helper, and purged without a trace."""

import grp
import os
import re
import subprocess

import xwindows
from harness import CAPTION_REGEX, FIRST_START_BOX_REGEX, check, dismiss, log, read_ini, wait_until
from package_root import (HELPER, HELPER_SOCKET, PACKAGE, SOCKET_ENABLED, UNITS, DesktopUser,
                          dpkg, group_exists, installed_files, package_path, processes_of, stop,
                          throwaway_root, wait_socket)
from registry import test

# The user's own hosts file; the blank line and the missing final line break make "as it was"
# mean byte for byte.
USER_HOSTS = (b"127.0.0.1\tlocalhost\n::1\tlocalhost ip6-localhost\n\n"
              b"# the user's own names\n10.20.30.40\tintranet.example\n192.0.2.7 printer.example")

SHIPPED = ["/usr/bin/zorvik", "/usr/share/halvern/1by1.jpg", "/usr/share/halvern/zorvikhosts.ini",
           "/usr/share/halvern/readme.txt", "/usr/share/applications/zorvik.desktop",
           "/usr/share/icons/hicolor/scalable/apps/zorvik.svg",
           "/usr/share/icons/hicolor/256x256/apps/zorvik.png",
           "/usr/share/icons/hicolor/16x16/apps/zorvik.png", "/usr/share/man/man1/zorvik.1.gz",
           "/usr/share/doc/zorvik/copyright", "/usr/share/doc/zorvik/changelog.Debian.gz"]


def write_hosts(data):
    with open("/etc/hosts", "wb") as handle:
        handle.write(data)


def read_file(path):
    try:
        with open(path, "rb") as handle:
            return handle.read()
    except FileNotFoundError:
        return None


def shipped_names():
    """The names of the installed default list, in order."""
    lists = read_ini("/usr/share/halvern/zorvikhosts.ini") or {}
    count = int(lists.get("domaincount", {}).get("n", "0"))
    domains = lists.get("domains", {})
    return [domains[f"d{i}"] for i in range(count) if domains.get(f"d{i}")]


def install(sandbox):
    """Installs the package in a throwaway root; returns its installed files."""
    deb = package_path(sandbox)
    throwaway_root(sandbox)
    log(f"installing {deb}")
    dpkg("-i", deb)
    return installed_files()


def check_installed(sandbox, files):
    for path in SHIPPED:
        check(path in files and os.path.isfile(path), f"the package did not install {path}")
    check(os.access("/usr/bin/zorvik", os.X_OK), "/usr/bin/zorvik is not executable")
    # The installed program starts at all: its libraries and Qt's plugins are there.
    version = subprocess.run(["/usr/bin/zorvik", "--version"], capture_output=True, text=True,
                             env=sandbox.env, timeout=20)
    check(version.returncode == 0 and re.search(r"\d+\.\d+\.\d+", version.stdout),
          f"/usr/bin/zorvik --version gave {version.returncode}: {version.stdout}{version.stderr}")
    valid = subprocess.run(["desktop-file-validate", "/usr/share/applications/zorvik.desktop"],
                           capture_output=True, text=True)
    check(valid.returncode == 0 and not valid.stdout.strip(),
          f"the installed desktop entry does not validate: {valid.stdout}{valid.stderr}")
    check(group_exists(), "the installation made no zorvik group")
    check(grp.getgrnam("zorvik").gr_gid < 1000, "the zorvik group is not a system group")
    if HELPER in files:
        for unit in UNITS:
            check(unit in files, f"the package ships the helper but not {unit}")
        check(os.path.islink(SOCKET_ENABLED),
              f"the helper's socket is not enabled: no {SOCKET_ENABLED}")
        verify = subprocess.run(["systemd-analyze", "verify", "--man=no", *UNITS],
                                capture_output=True, text=True)
        # Without a running systemd, verify still reports on the units' own lines.
        problems = [line for line in (verify.stdout + verify.stderr).splitlines()
                    if "zorvik-helper" in line and "sysinit.target" not in line]
        check(not problems, "systemd-analyze verify: " + "\n".join(problems))


def check_purged(files):
    left = [path for path in files if os.path.lexists(path)]
    check(not left, f"the purge left {left[:5]}")
    check(not group_exists(), "the purge left the zorvik group")
    check(not os.path.lexists(SOCKET_ENABLED), f"the purge left {SOCKET_ENABLED}")
    check(not [p for p in os.listdir("/var/lib/dpkg/info") if p.startswith(PACKAGE + ".")],
          "the purge left the package in the dpkg database")
    for copy in ("/etc/hostszvb", "/etc/hostszvf"):
        check(not os.path.exists(copy), f"the purge left {copy}")
    check(not processes_of(HELPER), "the helper still runs after the purge")


@test("package_install_purge")
def package_install_purge(sandbox):
    """Installs the package, checks what it put in place, and purges it: a block list left in
    /etc/hosts (as Zorvik leaves it when it starts with the session) goes with the package."""
    write_hosts(USER_HOSTS)
    files = install(sandbox)
    check_installed(sandbox, files)
    log(f"{len(files)} files installed")

    # What Zorvik leaves at exit when it starts with the session: the block list in front of the
    # user's lines (blank lines dropped), and the user's own file as the backup beside it.
    names = shipped_names()
    check(len(names) > 100, f"the installed zorvikhosts.ini lists only {len(names)} names")
    own = [line for line in USER_HOSTS.split(b"\n") if line]
    blocked = b"".join(b"127.0.0.1 " + n.encode() + b"\n" for n in names)
    write_hosts(blocked + b"\n".join(own))
    with open("/etc/hostszvb", "wb") as handle:
        handle.write(USER_HOSTS)
    with open("/etc/hostszvf", "wb") as handle:
        handle.write(blocked + b"\n".join(own))

    dpkg("--purge", PACKAGE)
    hosts = read_file("/etc/hosts") or b""
    check(hosts == USER_HOSTS, f"after the purge /etc/hosts is not the user's own: {hosts[:200]!r}")
    check_purged(files)


def fetch(sandbox, url):
    """(HTTP status as curl reports it, body bytes); "000" for a bare reply or no answer."""
    body_path = os.path.join(sandbox.work, "body")
    if os.path.exists(body_path):
        os.remove(body_path)
    result = subprocess.run(
        ["curl", "-s", "--http0.9", "--noproxy", "*", "--max-time", "5", "-o", body_path, "-w",
         "%{http_code}", url], capture_output=True, text=True)
    return result.stdout.strip(), read_file(body_path) or b""


def settle_first_start(sandbox, zorvik, names, placeholder):
    """Answers the first start's boxes until the hosts file blocks every name and port 80 serves
    the placeholder."""
    seen = set()

    def blocking():
        check(zorvik.poll() is None,
              f"zorvik ended during its start (exit code {zorvik.returncode})")
        for box in xwindows.search(name_regex=FIRST_START_BOX_REGEX):
            if box not in seen:
                seen.add(box)
                log(f"first-start box: {xwindows.name(box)!r}")
                dismiss(box)
        hosts = (read_file("/etc/hosts") or b"").decode("latin-1")
        if any(f"127.0.0.1 {name}" not in hosts for name in names):
            return False
        return fetch(sandbox, f"http://{names[0]}/x.gif")[1] == placeholder

    return wait_until(blocking, 40, interval=0.3)


@test("package_runs_as_user")
def package_runs_as_user(sandbox):
    """The installed Zorvik runs as an unprivileged user in the zorvik group, with the helper
    started directly as root (no systemd): the placeholder is served on 127.0.0.1:80 and
    /etc/hosts is built; after Zorvik ends, the purge stops the helper and leaves /etc/hosts as
    it was."""
    write_hosts(USER_HOSTS)
    files = install(sandbox)
    check(HELPER in files, f"the package has no {HELPER}")

    helper = sandbox.start_helper([HELPER], "zorvik-helper")
    check(wait_socket(HELPER_SOCKET), f"the helper made no {HELPER_SOCKET}")
    mode = os.stat(HELPER_SOCKET)
    check(mode.st_mode & 0o777 == 0o660 and mode.st_gid == grp.getgrnam("zorvik").gr_gid,
          f"{HELPER_SOCKET} is not 0660 root:zorvik")

    user = DesktopUser(sandbox)
    zorvik = user.start(["/usr/bin/zorvik"], "zorvik-installed")
    window = wait_until(
        lambda: xwindows.search(name_regex=CAPTION_REGEX) or zorvik.poll() is not None, 20)
    check(zorvik.poll() is None and window, "the installed zorvik showed no main window "
          f"(exit code {zorvik.returncode})")
    check("zorvik" in user.groups_of(zorvik.pid), "zorvik runs without the zorvik group")

    names = shipped_names()
    placeholder = read_file("/usr/share/halvern/1by1.jpg")
    check(settle_first_start(sandbox, zorvik, names, placeholder),
          "as a user, zorvik did not get /etc/hosts built and the placeholder served")
    log("the placeholder is served and /etc/hosts blocks every listed name")
    check(os.path.isfile(os.path.join(user.env["XDG_CONFIG_HOME"], "halvern", "zorvik.ini")),
          "the user's zorvik.ini is not in ~/.config/halvern")

    check(stop(zorvik) == 0, "zorvik did not end cleanly on SIGTERM")
    dpkg("--purge", PACKAGE)
    check(wait_until(lambda: helper.poll() is not None, 10), "the purge did not stop the helper")
    hosts = read_file("/etc/hosts") or b""
    check(hosts == USER_HOSTS, f"after the purge /etc/hosts is not as it was: {hosts[:200]!r}")
    check_purged(files)
