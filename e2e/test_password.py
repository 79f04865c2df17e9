"""The settings password as the per-user store keeps it."""

import os
import stat
import subprocess

import xwindows

from harness import check, finish_first_start, log, read_ini, wait_until
from registry import test


@test("password_stored_as_hash")
def password_stored_as_hash(sandbox):
    """A password an older version stored as typed is replaced by a yescrypt hash at the start,
    and the store's folder and file become the user's alone."""
    folder = os.path.join(sandbox.env["XDG_CONFIG_HOME"], "halvern")
    os.makedirs(folder, exist_ok=True)
    os.chmod(folder, 0o755)
    store = os.path.join(folder, "KorvaneSoft.ini")
    with open(store, "w") as handle:
        handle.write("[Zorvik]\r\nBlockLevel=secret\r\n")
    os.chmod(store, 0o644)

    app = sandbox.launch()
    app.wait_main_window()
    finish_first_start(sandbox, app)

    def stored():
        return (read_ini(store) or {}).get("zorvik", {}).get("blocklevel", "")

    check(wait_until(lambda: stored().startswith("$y$"), 5),
          f"the password is still stored as {stored()!r}" + app.log_tail())
    check("secret" not in open(store, encoding="latin-1").read(),
          "the plain password is still in the store")
    log(f"stored {stored()[:12]}...")
    check(stat.S_IMODE(os.stat(store).st_mode) == 0o600,
          f"the store file is {oct(stat.S_IMODE(os.stat(store).st_mode))}, not 0600")
    check(stat.S_IMODE(os.stat(folder).st_mode) == 0o700,
          f"the store folder is {oct(stat.S_IMODE(os.stat(folder).st_mode))}, not 0700")
    check(app.alive(), "zorvik ended" + app.log_tail())


def _later_start(sandbox, password=None):
    """Starts a copy that has run before (so it goes to the tray 2.5 s after its start), with the
    given password stored as an older version stored it; returns the App once it is hidden."""
    folder = os.path.join(sandbox.env["XDG_CONFIG_HOME"], "halvern")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "Zorvik.ini"), "w") as handle:
        handle.write("[State]\r\nFirstStart=Done\r\n")
    if password is not None:
        with open(os.path.join(folder, "KorvaneSoft.ini"), "w") as handle:
            handle.write(f"[Zorvik]\r\nBlockLevel={password}\r\n")
    app = sandbox.launch()
    app.wait_main_window()
    check(wait_until(lambda: not app.main_windows(), 10),
          "the settings window did not go to the tray" + app.log_tail())
    return app


def _tray_icon(app):
    """The program's small icon window inside the tray host, or None."""
    for window in xwindows.search(pid=app.pid):
        size = xwindows.size(window)
        if size and size[0] <= 48 and size[1] <= 48:
            return window
    return None


def _right_click(window):
    subprocess.run(["xdotool", "mousemove", "--window", str(window), "6", "6", "click", "3"],
                   check=True, timeout=10)


@test("locked_tray_right_click")
def locked_tray_right_click(sandbox):
    """With a password set, a right click on the tray icon shows the settings window (where the
    password is asked) instead of the tray menu."""
    app = _later_start(sandbox, "secret")
    icon = wait_until(lambda: _tray_icon(app), 10)
    check(icon, "no tray icon window of zorvik" + app.log_tail())
    _right_click(icon)
    check(wait_until(lambda: app.main_windows(), 5),
          "a right click on the locked tray icon did not show the settings window" + app.log_tail())
    check(app.alive(), "zorvik ended" + app.log_tail())


@test("unlocked_tray_right_click")
def unlocked_tray_right_click(sandbox):
    """Without a password a right click on the tray icon pops up the tray menu, not the window."""
    app = _later_start(sandbox)
    icon = wait_until(lambda: _tray_icon(app), 10)
    check(icon, "no tray icon window of zorvik" + app.log_tail())
    before = set(xwindows.search(pid=app.pid))
    _right_click(icon)
    menu = wait_until(lambda: [w for w in xwindows.search(pid=app.pid) if w not in before], 5)
    check(menu, "a right click on the tray icon showed no menu" + app.log_tail())
    check(not app.main_windows(), "the settings window showed instead of the tray menu")
