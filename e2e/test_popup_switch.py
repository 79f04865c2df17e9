"""The browser popup switch, "Block Internet Explorer Popup Ads", clicked in the real settings
window: unchecked, it stays unchecked at the next start, and no window is closed by its title;
checked again, a window with a blocked title is closed once more."""

import accessibility
from harness import CAPTION, check, read_ini, wait_until
from registry import test
from test_titles_cases import ENTRIES, open_windows, settle, start, verify

SWITCH = "Block Internet Explorer Popup Ads"


def switch_state(sandbox, app):
    """(checked, enabled) of the switch once the window shows it on the accessibility bus."""
    state = wait_until(lambda: accessibility.check_box(sandbox, app, CAPTION, SWITCH), 15, 0.5)
    check(state is not None, f"the check box '{SWITCH}' was not found on the accessibility bus"
          + app.log_tail())
    return state


def click_switch(sandbox, app, checked):
    check(accessibility.toggle(sandbox, app, CAPTION, SWITCH), f"'{SWITCH}' could not be clicked")
    check(wait_until(lambda: switch_state(sandbox, app)[0] == checked, 5),
          f"'{SWITCH}' is not {'checked' if checked else 'unchecked'} after the click")


@test("popup_switch_click_is_kept")
def popup_switch_click_is_kept(sandbox):
    """Unchecking the switch by a click is saved: the next start shows it unchecked and leaves a
    window with a blocked title open; checking it again closes such a window and is saved."""
    sandbox.start_accessibility()
    app = start(sandbox)  # the title list, a window manager, a first start with the switch on
    check(switch_state(sandbox, app) == (True, True), f"'{SWITCH}' is not checked and enabled "
          "after the first start")
    click_switch(sandbox, app, False)
    check(app.terminate() is not None, "zorvik did not end on SIGTERM" + app.log_tail())
    stored = read_ini(sandbox.ini)["settings"].get("bblockiepopups")
    check(stored == "False", f"the unchecked switch was saved as bBlockIEPopups={stored!r}")

    app = sandbox.launch()
    app.wait_main_window()
    check(switch_state(sandbox, app)[0] is False, f"'{SWITCH}' is checked again after a restart")
    windows = open_windows(sandbox, [("matching", ["--title", ENTRIES[0] + " - claim now"],
                                      "kept")])
    settle(windows)
    verify(windows)

    # A later start hides the window into the tray: a second copy shows it again.
    sandbox.launch().wait_exit(10)
    check(wait_until(lambda: app.main_windows(), 10), "the settings window did not show again")
    click_switch(sandbox, app, True)
    windows = open_windows(sandbox, [("matching again", ["--title", ENTRIES[0] + " today"],
                                      "closed")])
    settle(windows)
    verify(windows)
    check(app.terminate() is not None, "zorvik did not end on SIGTERM" + app.log_tail())
    stored = read_ini(sandbox.ini)["settings"].get("bblockiepopups")
    check(stored == "True", f"the checked switch was saved as bBlockIEPopups={stored!r}")
