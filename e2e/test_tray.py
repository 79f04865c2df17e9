"""The tray icon under a real XEmbed tray host (trayer), with the settings unlocked."""

import subprocess
import time

import xwindows
from harness import check, dismiss, finish_first_start, log, wait_until
from registry import test

ICON_MAX = 64  # pixels: the icon's window is as high as the tray, never larger than this


def _xdotool(*args):
    subprocess.run(["xdotool", *args], capture_output=True, text=True, timeout=10)


def icon_window(app):
    """The program's small window inside the tray host, or None before it is embedded."""
    for window in xwindows.search(pid=app.pid):
        size = xwindows.size(window)
        if size and size[0] <= ICON_MAX and size[1] <= ICON_MAX and window not in app.main_windows():
            return window
    return None


def popups(app, icon):
    """Visible windows of the program that are neither its main window nor its tray icon."""
    main = set(app.main_windows())
    return [w for w in xwindows.search(pid=app.pid) if w not in main and w != icon]


def hidden_in_tray(sandbox):
    """A settled first start whose window was closed into the tray; returns (app, icon)."""
    app = sandbox.launch()
    window = app.wait_main_window()
    finish_first_start(sandbox, app)
    icon = wait_until(lambda: icon_window(app), 10)
    check(icon, "the tray host shows no icon of zorvik" + app.log_tail())
    xwindows.request_close(window)
    check(wait_until(lambda: not app.main_windows(), 5),
          "closing the settings window did not hide it into the tray")
    return app, icon


def press(icon, button):
    _xdotool("mousemove", "--window", str(icon), "8", "8")
    time.sleep(0.2)
    _xdotool("mousedown", str(button))


@test("tray_left_click_shows_settings_on_release")
def tray_left_click_shows_settings_on_release(sandbox):
    """A left click on the tray icon shows the settings window, as the button is released."""
    app, icon = hidden_in_tray(sandbox)
    press(icon, 1)
    time.sleep(1.0)
    check(not app.main_windows(), "the settings window showed while the button was still down")
    _xdotool("mouseup", "1")
    check(wait_until(app.main_windows, 5),
          "a left click on the tray icon did not show the settings window" + app.log_tail())
    check(app.alive(), "zorvik ended" + app.log_tail())


@test("tray_right_click_pops_up_the_menu_on_release")
def tray_right_click_pops_up_the_menu_on_release(sandbox):
    """A right click on the tray icon pops up the tray menu as the button is released; the
    settings window stays in the tray and Escape closes the menu."""
    app, icon = hidden_in_tray(sandbox)
    press(icon, 3)
    time.sleep(1.0)
    check(not popups(app, icon), "the menu popped up while the button was still down")
    _xdotool("mouseup", "3")
    menus = wait_until(lambda: popups(app, icon), 5)
    check(menus, "a right click on the tray icon showed no menu" + app.log_tail())
    width, height = xwindows.size(menus[0]) or (0, 0)
    log(f"tray menu {width}x{height}")
    check(height > 200, f"the window that popped up ({width}x{height}) is not the tray menu")
    check(not app.main_windows(), "the right click showed the settings window")
    _xdotool("key", "Escape")
    check(wait_until(lambda: not popups(app, icon), 5), "Escape did not close the tray menu")
    check(not app.main_windows(), "closing the menu showed the settings window")
    check(app.alive(), "zorvik ended" + app.log_tail())
