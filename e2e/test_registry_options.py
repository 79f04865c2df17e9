"""The options Zorvik keeps in its own registry files, clicked in the real settings window: the
first start's script-error choice lands in HKEY_CURRENT_USER.registry, the toolbar button's key
with its eight values in HKEY_LOCAL_MACHINE.registry, and the button's box is kept across a
restart."""

import os
import threading

import accessibility
import xwindows
from harness import CAPTION, check, dismiss, read_ini, start_and_settle, wait_until
from registry import test

TOOLBAR = "Display the settings button on the Internet Explorer tool bar"
TOOLBAR_KEY = ("Software\\Microsoft\\Internet Explorer\\Extensions\\"
               "{ECC5777A-6E88-BFCE-13CE-81F134789E7B}")


def registry_text(sandbox, root):
    path = os.path.join(sandbox.env["XDG_CONFIG_HOME"], "halvern", root + ".registry")
    try:
        with open(path, encoding="ascii") as handle:
            return handle.read()
    except FileNotFoundError:
        return ""


def toolbar_state(sandbox, app):
    return wait_until(lambda: accessibility.check_box(sandbox, app, CAPTION, TOOLBAR), 15, 0.5)


@test("registry_options_are_kept_in_zorviks_own_files")
def registry_options_are_kept_in_zorviks_own_files(sandbox):
    """The first start stores the script-error choice; a click on the toolbar box explains
    itself once and writes the button's key; the box is checked again after a restart."""
    sandbox.start_accessibility()
    app = start_and_settle(sandbox)
    user = registry_text(sandbox, "HKEY_CURRENT_USER")
    check('value "Error Dlg Displayed On Every Error" 1 "yes%00"' in user,
          "the first start did not store the script-error choice:\n" + user)

    state = toolbar_state(sandbox, app)
    check(state == (False, True), f"'{TOOLBAR}' is {state} after the first start, not unchecked "
          "and enabled" + app.log_tail())
    # The click opens a modal box before it returns, so its answer is not waited for: the box
    # and the files say what it did.
    click = threading.Thread(target=accessibility.toggle, args=(sandbox, app, CAPTION, TOOLBAR),
                             daemon=True)
    click.start()
    boxes = wait_until(lambda: xwindows.search(name_regex="^Internet Explorer \\(IE\\) Toolbar$"),
                       10)
    check(boxes, "the toolbar button's explanation did not show" + app.log_tail())
    check(dismiss(boxes[0]), "the explanation did not close on Return")
    click.join(35)
    machine = wait_until(lambda: registry_text(sandbox, "HKEY_LOCAL_MACHINE") or None, 10)
    check(machine, "no HKEY_LOCAL_MACHINE.registry after the click" + app.log_tail())
    exec_path = os.path.join(sandbox.app_dir, "zorvik")
    for line in (f'key "{TOOLBAR_KEY}"', 'value "ButtonText" 1 "Zorvik"',
                 f'value "Exec" 1 "{exec_path}"',
                 f'value "Icon" 1 "{os.path.join(sandbox.app_dir, "tool1.png")}"',
                 'value "MenuText" 1 "&Zorvik Settings"'):
        check(line in machine.splitlines(), f"the button's key lacks {line!r}:\n{machine}")

    check(app.terminate() is not None, "zorvik did not end on SIGTERM" + app.log_tail())
    stored = read_ini(sandbox.ini)["settings"].get("bietoolbar")
    check(stored == "True", f"the checked box was saved as bIEToolBar={stored!r}")
    app = sandbox.launch()
    app.wait_main_window()
    check(toolbar_state(sandbox, app)[0] is True, f"'{TOOLBAR}' is unchecked after a restart")
    check(app.terminate() is not None, "zorvik did not end on SIGTERM" + app.log_tail())
