"""The popup white list's editor on the real binary: the settings window's button opens it on
the shipped list, a typed page is added without its scheme, and OK writes the user's own list,
shipped entries included, to the data folder.

The buttons and the list are reached through the accessibility bus; the page is typed with
XTEST, as a user types it.
"""

import os
import time

import accessibility
from harness import CAPTION, check, log, read_ini, start_and_settle, wait_until
import xwindows
from registry import test

EDITOR_TITLE = "Popup Ad site White List (Effects Internet Explorer users ONLY)"


def shipped_entries(sandbox):
    """The entries of the shipped zvwl.ini staged with the program, in order."""
    ini = read_ini(os.path.join(sandbox.app_dir, "zvwl.ini"))
    count = int(ini["domaincount"]["n"])
    return [ini["domains"][f"d{i}"].strip() for i in range(count)]


@test("whitelist_editor_saves_the_users_list")
def whitelist_editor_saves_the_users_list(sandbox):
    """"Allow IE Popups by URL (WhiteList)" opens the editor on the shipped list; a page typed
    with its scheme is added without it, and OK writes userwl.ini in the data folder with the
    shipped entries and the new one; the shipped file is left as it was."""
    sandbox.start_accessibility()
    shipped = shipped_entries(sandbox)
    shipped_path = os.path.join(sandbox.app_dir, "zvwl.ini")
    with open(shipped_path, "rb") as handle:
        shipped_bytes = handle.read()
    user_list = os.path.join(sandbox.data_dir, "userwl.ini")
    app = start_and_settle(sandbox)

    check(wait_until(lambda: accessibility.press(sandbox, app, CAPTION,
                                                 "Allow IE Popups by URL (WhiteList)"), 15, 0.5),
          "the settings window's white-list button was not found or not enabled" + app.log_tail())
    editors = wait_until(lambda: xwindows.search(name_regex="^Popup Ad site White List"), 10)
    check(editors, f"no window '{EDITOR_TITLE}' showed after the button" + app.log_tail())
    lines = wait_until(lambda: accessibility.list_items(sandbox, app, EDITOR_TITLE), 10, 0.5)
    check(lines == shipped, f"the editor lists {lines}, not the shipped list {shipped}")

    # The text box is the window's first control and takes the focus as the window opens.
    editor = editors[0]
    xwindows._xdotool("windowfocus", str(editor))
    time.sleep(0.3)
    xwindows._xdotool("type", "--delay", "30", "HTTP://Popups.Example/Allowed")
    wanted = shipped + ["popups.example/allowed"]

    time.sleep(0.5)
    check(accessibility.press(sandbox, app, EDITOR_TITLE, "Add to White List"),
          "the Add button was not found or not enabled")
    check(wait_until(lambda: accessibility.list_items(sandbox, app, EDITOR_TITLE) == wanted, 10,
                     0.5),
          f"the typed page was not added as {wanted[-1]!r}: "
          f"{accessibility.list_items(sandbox, app, EDITOR_TITLE)}\n"
          + accessibility.dump(sandbox, app, EDITOR_TITLE))
    check(accessibility.press(sandbox, app, EDITOR_TITLE, "OK"), "the OK button was not found")
    check(wait_until(lambda: not xwindows.search(name_regex="^Popup Ad site White List"), 10),
          "the editor did not close after OK" + app.log_tail())

    saved = read_ini(user_list)
    check(saved is not None, f"OK wrote no {user_list}" + app.log_tail())
    count = int(saved["domaincount"]["n"])
    entries = [saved["domains"][f"d{i}"] for i in range(count)]
    log(f"userwl.ini: {entries}")
    check(entries == wanted, f"userwl.ini holds {entries}, not {wanted}")
    with open(shipped_path, "rb") as handle:
        check(handle.read() == shipped_bytes, "the shipped zvwl.ini was changed")
    check(app.alive(), "zorvik ended" + app.log_tail())
