"""Files Zorvik must not wait on or swallow, and a lock it cannot take, on the real binary."""

import os
import stat
import time

import xwindows
from harness import EXIT_TIMEOUT, check, dismiss, log, read_ini, wait_until
from registry import test


def _not_first_start(sandbox):
    """Marks the first start as done, so that no first-start box holds the program."""
    folder = os.path.join(sandbox.env["XDG_CONFIG_HOME"], "halvern")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "Zorvik.ini"), "w") as handle:
        handle.write("[State]\nFirstStart=Done\n")


def _replace(path, make):
    if os.path.lexists(path):
        os.remove(path)
    make(path)


@test("hostile_files")
def hostile_files(sandbox):
    """A FIFO as zorvik.ini, /dev/zero as the default list and a user list padded with 15 MB of
    blank lines: the program starts, builds the hosts file from what it could read, and SIGTERM
    still ends it."""
    _not_first_start(sandbox)
    _replace(sandbox.ini, os.mkfifo)
    _replace(os.path.join(sandbox.app_dir, "zorvikhosts.ini"),
             lambda path: os.symlink("/dev/zero", path))
    with open(sandbox.data_file("userhosts.ini"), "w") as handle:
        handle.write("[DomainCount]\nN=1\n[Domains]\nD0=mine.example\n" + "\n" * 15_000_000)

    app = sandbox.launch()
    app.wait_main_window()

    def built():
        with open(sandbox.hosts, errors="replace") as handle:
            return "127.0.0.1 mine.example" in handle.read()

    check(wait_until(lambda: built() or not app.alive(), 15),
          "the hosts file never got the user list's entry")
    check(app.alive(), "zorvik ended" + app.log_tail())
    log(f"hosts file built {app.elapsed():.2f} s after launch")
    code = app.terminate()
    check(code is not None, f"SIGTERM did not end zorvik within {EXIT_TIMEOUT:.0f} s")
    check(code == 0, f"zorvik ended with code {code}" + app.log_tail())
    check(stat.S_ISFIFO(os.lstat(sandbox.ini).st_mode), "the FIFO in place of zorvik.ini was replaced")


@test("lock_unavailable")
def lock_unavailable(sandbox):
    """A folder in place of the single-instance lock: the program says so and does not start."""
    lock = os.path.join(sandbox.env["XDG_RUNTIME_DIR"], f"zorvik-{os.getuid()}.lock")
    os.mkdir(lock)
    with open(sandbox.hosts, "rb") as handle:
        hosts_before = handle.read()
    files_before = sandbox.app_files()
    config_before = sandbox.config_files()

    app = sandbox.launch()
    boxes = wait_until(lambda: xwindows.search(name_regex="^Zorvik$") or not app.alive(), 20)
    check(app.alive() and boxes, "no message box about the lock" + app.log_tail())
    check(not app.main_windows(), "the main window showed although the lock was not taken")
    check(dismiss(boxes[0]), "the message box did not close on Return")
    code = app.wait_exit(5)
    check(code == 1, f"zorvik did not leave with code 1 after the box (code {code})")
    check("cannot take the single-instance lock " + lock in app.log_tail(),
          "stderr does not name the lock" + app.log_tail())
    with open(sandbox.hosts, "rb") as handle:
        check(handle.read() == hosts_before, "the hosts file changed")
    check(sandbox.app_files() == files_before, "files in the program folder changed")
    check(sandbox.config_files() == config_before, "files in the settings folder changed")
    check(not os.path.exists(sandbox.data_dir), "the data folder was made")
    check(not os.path.exists("/etc/hostszvb"), "a backup of the hosts file was made")


@test("earlier_files_move")
def earlier_files_move(sandbox):
    """Settings and a user list that an earlier build kept beside the executable are moved to the
    settings and data folders at the start, and are the ones in effect; the shipped lists stay."""
    _not_first_start(sandbox)
    old_ini = os.path.join(sandbox.app_dir, "zorvik.ini")
    old_list = os.path.join(sandbox.app_dir, "userhosts.ini")
    with open(old_ini, "w") as handle:
        handle.write("[Settings]\nbStartup=False\nProxyName=proxy.earlier\n")
    with open(old_list, "w") as handle:
        handle.write("[DomainCount]\nN=1\n[Domains]\nD0=earlier.example\n")

    app = sandbox.launch()
    app.wait_main_window()

    def built():
        with open(sandbox.hosts, errors="replace") as handle:
            return "127.0.0.1 earlier.example" in handle.read()

    check(wait_until(lambda: built() or not app.alive(), 15),
          "the hosts file never got the moved user list's entry" + app.log_tail())
    check(not os.path.exists(old_ini) and not os.path.exists(old_list),
          "the old files are still beside the executable")
    with open(os.path.join(sandbox.data_dir, "userhosts.ini")) as handle:
        check("earlier.example" in handle.read(), "the user list did not reach the data folder")
    check(os.path.exists(os.path.join(sandbox.app_dir, "zorvikhosts.ini")),
          "the shipped list left the program folder")
    code = app.terminate()
    check(code == 0, f"zorvik ended with code {code}" + app.log_tail())
    settings = read_ini(sandbox.ini)["settings"]
    check(settings.get("proxyname") == "proxy.earlier",
          f"the earlier settings were not the ones in effect: {settings.get('proxyname')!r}")
